// SPDX-License-Identifier: GPL-2.0-or-later
// Drawing the track map.
#include "chart_map_svg.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "chart_axis.h"
#include "html_output.h"

namespace trips {

namespace {

constexpr std::array<const char*, 5> kSpeedPalette = {"#2f6fd0", "#12a0a0", "#5ab040", "#e8a317",
                                                      "#d7301f"};
constexpr int kMaxClasses = 5;
// The legend has room for the larger text of narrow screens (see the page's style).
constexpr double kLegendWidth = 150;
constexpr double kLegendRow = 22;

struct Point {
    double x;
    double y;
};

void appendPoint(std::string& out, Point p) {
    appendNumber(out, p.x);
    out += ' ';
    appendNumber(out, p.y);
}

// Degrees as "47.25°N" or "11.4°E"; `lon` longitudes may be shifted beyond 180.
std::string degreeLabel(double value, bool lon, int decimals) {
    if (lon && value > 180) value -= 360;
    std::string text;
    appendNumber(text, std::fabs(value), decimals);
    text += "\u00b0";
    if (std::fabs(value) > 1e-9 && !(lon && std::fabs(std::fabs(value) - 180) < 1e-9)) {
        text += lon ? (value < 0 ? "W" : "E") : (value < 0 ? "S" : "N");
    }
    return text;
}

void writeGraticule(std::string& out, const MapFrame& f) {
    const double westLon = f.left * 360 - 180;
    const double eastLon = (f.left + f.width / f.scale) * 360 - 180;
    const double northLat = mercatorLatitude(f.top);
    const double southLat = mercatorLatitude(f.top + f.height / f.scale);
    const double step = graticuleStep(std::max(eastLon - westLon, northLat - southLat), 6);
    const int decimals = stepDecimals(step);
    std::string lines;
    std::string labels;
    for (double lon = std::ceil(westLon / step) * step; lon <= eastLon; lon += step) {
        const double x = f.pixelX(lon);
        lines += "M";
        appendPoint(lines, {x, 0});
        lines += "V";
        appendNumber(lines, f.height);
        if (x > f.width - kLegendWidth - 60) continue; // under the legend
        labels += "<text class=\"glabel\" x=\"";
        appendNumber(labels, x + 3);
        labels += "\" y=\"12\">" + degreeLabel(lon, true, decimals) + "</text>";
    }
    for (double lat = std::ceil(southLat / step) * step; lat <= northLat; lat += step) {
        const double y = f.pixelY(lat);
        lines += "M";
        appendPoint(lines, {0, y});
        lines += "H";
        appendNumber(lines, f.width);
        if (y < 28 || y > f.height - 4) continue; // beside the longitude labels, or cut off
        labels += "<text class=\"glabel\" x=\"3\" y=\"";
        appendNumber(labels, y - 3);
        labels += "\">" + degreeLabel(lat, false, decimals) + "</text>";
    }
    out += "<path class=\"grid\" d=\"" + lines + "\"/>" + labels;
}

struct SpeedClasses {
    double step;
    int count;
    int of(double speed) const { return std::clamp(static_cast<int>(speed / step), 0, count - 1); }
};

SpeedClasses speedClasses(double maxSpeed) {
    const ValueAxis axis = roundAxis(0, std::max(maxSpeed, 1.0), kMaxClasses, 1);
    const int count =
        std::clamp(static_cast<int>(std::lround(axis.high / axis.step)), 1, kMaxClasses);
    return {axis.step, count};
}

// The track as one path per speed class, faster classes drawn over slower ones. A vertex whose
// pixel cell holds a vertex of its class or a faster one already is passed over (the line there
// is drawn), so each cell takes at most one vertex per class however often the track passes.
void writeTrack(std::string& out, const std::vector<Point>& points, const std::vector<int>& classes,
                const SpeedClasses& speed, const MapFrame& f) {
    const auto columns = static_cast<std::size_t>(std::ceil(f.width / kMapCell)) + 1;
    const auto rows = static_cast<std::size_t>(std::ceil(f.height / kMapCell)) + 1;
    std::vector<std::uint8_t> drawn(columns * rows); // fastest class drawn there, plus one
    const auto lastColumn = static_cast<double>(columns - 1);
    const auto lastRow = static_cast<double>(rows - 1);
    auto visit = [&](Point p, int cls) {
        const auto cx = static_cast<std::size_t>(std::clamp(p.x / kMapCell, 0.0, lastColumn));
        const auto cy = static_cast<std::size_t>(std::clamp(p.y / kMapCell, 0.0, lastRow));
        std::uint8_t& cell = drawn[cy * columns + cx];
        if (cell > cls) return true;
        cell = static_cast<std::uint8_t>(cls + 1);
        return false;
    };
    std::array<std::string, kMaxClasses> paths;
    std::array<std::size_t, kMaxClasses> lastIndex{};
    lastIndex.fill(SIZE_MAX);
    if (!points.empty()) visit(points[0], classes[0]);
    for (std::size_t i = 1; i < points.size(); ++i) {
        if (visit(points[i], classes[i])) continue;
        const auto c = static_cast<std::size_t>(classes[i]);
        std::string& d = paths[c];
        if (lastIndex[c] != i - 1) {
            d += 'M';
            appendPoint(d, points[i - 1]);
        }
        d += ' ';
        appendPoint(d, points[i]);
        lastIndex[c] = i;
    }
    for (int c = 0; c < speed.count; ++c) {
        if (paths[static_cast<std::size_t>(c)].empty()) continue;
        out += "<path class=\"track\" stroke=\"";
        out += speedColour(c, speed.count);
        out += "\" d=\"" + paths[static_cast<std::size_t>(c)] + "\"/>";
    }
}

void writeLegend(std::string& out, const SpeedClasses& speed, const MapFrame& f) {
    const double x = f.width - kLegendWidth - 8;
    out += "<g class=\"legend\"><rect class=\"legend-bg\" x=\"";
    appendNumber(out, x);
    out += "\" y=\"8\" width=\"";
    appendNumber(out, kLegendWidth);
    out += "\" height=\"";
    appendNumber(out, 14 + kLegendRow * (speed.count + 1));
    out += "\" rx=\"4\"/><text x=\"";
    appendNumber(out, x + 10);
    out += "\" y=\"";
    appendNumber(out, 8 + kLegendRow);
    out += "\">Speed, km/h</text>";
    for (int c = 0; c < speed.count; ++c) {
        const double y = 8 + kLegendRow * (c + 2);
        out += "<rect x=\"";
        appendNumber(out, x + 10);
        out += "\" y=\"";
        appendNumber(out, y - 9);
        out += "\" width=\"22\" height=\"8\" fill=\"";
        out += speedColour(c, speed.count);
        out += "\"/><text x=\"";
        appendNumber(out, x + 40);
        out += "\" y=\"";
        appendNumber(out, y);
        out += "\">";
        appendNumber(out, c * speed.step, 0);
        out += c + 1 < speed.count ? "\u2013" : "+";
        if (c + 1 < speed.count) appendNumber(out, (c + 1) * speed.step, 0);
        out += "</text>";
    }
    out += "</g>";
}

void writeScaleBar(std::string& out, const MapFrame& f) {
    const ScaleBar bar = scaleBar(f.metresPerPixel(), f.width / 4);
    // Bottom right: the latitude labels run down the left edge.
    const double x = f.width - 12 - bar.pixels;
    const double y = f.height - 12;
    out += "<g class=\"scale\"><path d=\"M";
    appendPoint(out, {x, y - 5});
    out += "V";
    appendNumber(out, y);
    out += "H";
    appendNumber(out, x + bar.pixels);
    out += "V";
    appendNumber(out, y - 5);
    out += "\"/><text x=\"";
    appendNumber(out, x);
    out += "\" y=\"";
    appendNumber(out, y - 8);
    out += "\">";
    appendNumber(out, bar.km, 3);
    out += " km</text></g>";
}

void writeMarker(std::string& out, Point p, const char* cls, const char* label) {
    out += "<circle class=\"";
    out += cls;
    out += "\" cx=\"";
    appendNumber(out, p.x);
    out += "\" cy=\"";
    appendNumber(out, p.y);
    out += "\" r=\"6\"/><text class=\"mlabel\" x=\"";
    appendNumber(out, p.x + 9);
    out += "\" y=\"";
    appendNumber(out, p.y + 4);
    out += "\">";
    out += label;
    out += "</text>";
}

} // namespace

const char* speedColour(int index, int count) {
    if (count <= 1) return kSpeedPalette[0];
    const int at = (index * (kMaxClasses - 1) + (count - 1) / 2) / (count - 1);
    return kSpeedPalette[static_cast<std::size_t>(std::clamp(at, 0, kMaxClasses - 1))];
}

void writeMapSvg(std::string& out, const TrackCollector& track, std::string_view title,
                 std::string_view id) {
    const MapFrame f = fitMap(track.empty() ? LonLatBox{} : track.box(), kMapWidth, 300, 560, 400);
    out += "<svg class=\"map\" viewBox=\"0 0 ";
    appendNumber(out, f.width);
    out += ' ';
    appendNumber(out, f.height);
    out += "\" role=\"img\" id=\"";
    out += id;
    out += "\"><title>";
    appendEscaped(out, title);
    out += "</title><rect class=\"map-bg\" width=\"100%\" height=\"100%\"/>";
    writeGraticule(out, f);
    if (track.empty()) {
        out += "<text class=\"note\" x=\"400\" y=\"150\">no valid position</text></svg>";
        return;
    }
    const bool shift = track.crossesAntimeridian();
    const SpeedClasses speed = speedClasses(track.maxSpeed());
    std::vector<Point> points;
    std::vector<int> classes;
    for (const TrackCollector::Vertex& v : track.vertices()) {
        const double lon = shift && v.lon < 0 ? v.lon + 360.0 : v.lon;
        points.push_back({f.pixelX(lon), f.pixelY(v.lat)});
        classes.push_back(speed.of(v.speed));
    }
    writeTrack(out, points, classes, speed, f);
    const bool oneSpot = points.size() == 1;
    if (!oneSpot) writeMarker(out, points.back(), "end", "End");
    writeMarker(out, points.front(), "start", oneSpot ? "Start and end" : "Start");
    writeLegend(out, speed, f);
    writeScaleBar(out, f);
    out += "</svg>";
}

} // namespace trips
