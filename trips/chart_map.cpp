// SPDX-License-Identifier: GPL-2.0-or-later
// Web Mercator, map frame, scale bar, graticule and the bounded track collection.
#include "chart_map.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace trips {

namespace {

constexpr double kDegree = std::numbers::pi / 180;
constexpr double kFirstTolerance = 1e-5; // degrees, about a metre

double shifted(double lon) {
    return lon < 0 ? lon + 360 : lon;
}

} // namespace

WorldPoint mercator(double lat, double lon) {
    lat = std::clamp(lat, -kMercatorMaxLatitude, kMercatorMaxLatitude);
    const double y = std::log(std::tan(std::numbers::pi / 4 + lat * kDegree / 2));
    return {(lon + 180) / 360, 0.5 - y / (2 * std::numbers::pi)};
}

double mercatorLatitude(double y) {
    return std::atan(std::sinh(std::numbers::pi * (1 - 2 * y))) / kDegree;
}

double metresPerWorldUnit(double lat) {
    return kEquatorMetres * std::cos(lat * kDegree);
}

double MapFrame::metresPerPixel() const {
    return metresPerWorldUnit(mercatorLatitude(top + height / 2 / scale)) / scale;
}

MapFrame fitMap(const LonLatBox& box, double width, double minHeight, double maxHeight,
                double minSpanMetres) {
    const WorldPoint a = mercator(box.maxLat, box.minLon);
    const WorldPoint b = mercator(box.minLat, box.maxLon);
    const WorldPoint centre{(a.x + b.x) / 2, (a.y + b.y) / 2};
    const double minSpan = minSpanMetres / metresPerWorldUnit(mercatorLatitude(centre.y));
    const double dx = std::max(b.x - a.x, minSpan);
    const double dy = std::max(b.y - a.y, minSpan);
    MapFrame frame;
    frame.width = width;
    frame.height = std::clamp(width * dy / dx, minHeight, maxHeight);
    frame.scale = std::min(width / dx, frame.height / dy) / 1.12; // a margin of 6 % each side
    frame.left = centre.x - width / 2 / frame.scale;
    frame.top = centre.y - frame.height / 2 / frame.scale;
    return frame;
}

ScaleBar scaleBar(double metresPerPixel, double maxPixels) {
    ScaleBar best{0.001, 0.001 * 1000 / metresPerPixel};
    for (double power = 0.001; power <= 1e5; power *= 10) {
        for (const double m : {1.0, 2.0, 5.0}) {
            const double km = m * power;
            const double pixels = km * 1000 / metresPerPixel;
            if (pixels <= maxPixels) best = {km, pixels};
        }
    }
    return best;
}

double graticuleStep(double spanDegrees, int maxLines) {
    for (double power = 1e-4; power <= 10; power *= 10) {
        for (const double m : {1.0, 2.0, 5.0}) {
            const double step = m * power;
            if (step >= 30 || spanDegrees / step <= maxLines) return std::min(step, 30.0);
        }
    }
    return 30;
}

TrackCollector::TrackCollector(std::size_t capacity)
    : capacity_(std::max<std::size_t>(capacity, 8)) {
    vertices_.reserve(capacity_);
}

bool TrackCollector::far(const Vertex& a, const Vertex& b) const {
    double dLon = std::fabs(static_cast<double>(a.lon) - b.lon);
    if (dLon > 180) dLon = 360 - dLon;
    dLon *= std::cos(static_cast<double>(a.lat) * kDegree);
    const double dLat = std::fabs(static_cast<double>(a.lat) - b.lat);
    return std::max(dLat, dLon) >= tolerance_ && (dLat > 0 || dLon > 0);
}

void TrackCollector::add(float lat, float lon, float speed) {
    if (!(std::fabs(lat) <= 90 && std::fabs(lon) <= 180)) return; // NaN fails too
    const Vertex point{lat, lon, std::max(speed, pending_)};
    maxSpeed_ = std::max(maxSpeed_, speed);
    if (vertices_.empty()) {
        box_ = {lat, lat, lon, lon};
        minLon360_ = maxLon360_ = shifted(lon);
    } else {
        box_.minLat = std::min<double>(box_.minLat, lat);
        box_.maxLat = std::max<double>(box_.maxLat, lat);
        box_.minLon = std::min<double>(box_.minLon, lon);
        box_.maxLon = std::max<double>(box_.maxLon, lon);
        minLon360_ = std::min(minLon360_, shifted(lon));
        maxLon360_ = std::max(maxLon360_, shifted(lon));
    }
    last_ = point;
    if (!vertices_.empty() && !far(vertices_.back(), point)) {
        pending_ = point.speed;
        return;
    }
    pending_ = 0;
    vertices_.push_back(point);
    if (vertices_.size() >= capacity_) thin();
}

void TrackCollector::thin() {
    while (vertices_.size() > capacity_ / 2) {
        tolerance_ = tolerance_ == 0 ? kFirstTolerance : tolerance_ * 2;
        std::size_t kept = 1;
        float carried = 0;
        for (std::size_t i = 1; i < vertices_.size(); ++i) {
            Vertex v = vertices_[i];
            if (!far(vertices_[kept - 1], v)) {
                carried = std::max(carried, v.speed);
                continue;
            }
            v.speed = std::max(v.speed, carried);
            carried = 0;
            vertices_[kept++] = v;
        }
        vertices_.resize(kept);
        pending_ = std::max(pending_, carried);
    }
}

std::vector<TrackCollector::Vertex> TrackCollector::vertices() const {
    std::vector<Vertex> out = vertices_;
    if (!out.empty() && (out.back().lat != last_.lat || out.back().lon != last_.lon)) {
        out.push_back(last_);
    }
    return out;
}

bool TrackCollector::crossesAntimeridian() const {
    return maxLon360_ - minLon360_ < box_.maxLon - box_.minLon;
}

LonLatBox TrackCollector::box() const {
    LonLatBox box = box_;
    if (crossesAntimeridian()) {
        box.minLon = minLon360_;
        box.maxLon = maxLon360_;
    }
    return box;
}

} // namespace trips
