// SPDX-License-Identifier: GPL-2.0-or-later
// Test-only: writes sample trip reports through the report's API, for the browser check.
// Usage: html_sample_pages KIND FOLDER   (KIND: demo, one-point, long, antimeridian, huge)
// "huge" streams one trip of 2097152 points (a 64 MiB log) without keeping them, for measuring
// the report's peak memory as a process.
// Times are shown at a fixed UTC+02:00, so the pages do not depend on the machine's zone.
#include <cmath>
#include <cstdio>
#include <ctime>
#include <numbers>
#include <string>
#include <vector>

#include "html_report.h"
#include "record.h"
#include "sim.h"

namespace {

using trips::TripPoint;

// Fixed UTC+02:00: the broken-down time of epoch + 2 h, by the civil-from-days rule.
bool plusTwoHours(std::uint32_t epoch, std::tm& out) {
    const long long t = static_cast<long long>(epoch) + 7200;
    long long days = t / 86400;
    const long long rest = t % 86400;
    out = std::tm{};
    out.tm_hour = static_cast<int>(rest / 3600);
    out.tm_min = static_cast<int>(rest / 60 % 60);
    out.tm_sec = static_cast<int>(rest % 60);
    days += 719468;
    const long long era = days / 146097;
    const long long doe = days - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const long long month = mp < 10 ? mp + 3 : mp - 9;
    out.tm_year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0) - 1900);
    out.tm_mon = static_cast<int>(month - 1);
    out.tm_mday = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    return true;
}

double haversine(const TripPoint& a, const TripPoint& b) {
    const double k = std::numbers::pi / 180;
    const double dLat = (b.lat - a.lat) * k;
    const double dLon = (b.lon - a.lon) * k;
    const double h =
        std::sin(dLat / 2) * std::sin(dLat / 2) +
        std::cos(a.lat * k) * std::cos(b.lat * k) * std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2 * 6371008.8 * std::asin(std::sqrt(std::min(1.0, h)));
}

// Figures good enough to fill the table (the real ones come from kvtrips).
trips::TripFigures figuresOf(const std::vector<TripPoint>& points) {
    trips::TripFigures f;
    const TripPoint& first = points.front();
    f.start_epoch = first.epoch;
    f.end_epoch = points.back().epoch;
    f.duration_s = static_cast<std::int64_t>(f.end_epoch) - f.start_epoch;
    f.points = points.size();
    f.min_altitude_m = f.max_altitude_m = first.altitude;
    f.min_lat = f.max_lat = first.lat;
    f.min_lon = f.max_lon = first.lon;
    f.fuel_start_pct = first.fuel;
    f.fuel_end_pct = points.back().fuel;
    int ref = first.altitude;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const TripPoint& p = points[i];
        if (i > 0) {
            f.distance_m += haversine(points[i - 1], p);
            if (p.speed >= 2) f.moving_time_s += p.epoch - points[i - 1].epoch;
        }
        f.max_speed_kmh = std::max<double>(f.max_speed_kmh, p.speed);
        f.min_altitude_m = std::min(f.min_altitude_m, p.altitude);
        f.max_altitude_m = std::max(f.max_altitude_m, p.altitude);
        if (p.altitude - ref >= 5) f.climb_m += p.altitude - ref, ref = p.altitude;
        if (ref - p.altitude >= 5) f.descent_m += ref - p.altitude, ref = p.altitude;
        f.max_rpm = std::max(f.max_rpm, p.rpm);
        f.min_lat = std::min<double>(f.min_lat, p.lat);
        f.max_lat = std::max<double>(f.max_lat, p.lat);
        f.min_lon = std::min<double>(f.min_lon, p.lon);
        f.max_lon = std::max<double>(f.max_lon, p.lon);
    }
    if (f.duration_s > 0) f.avg_speed_kmh = f.distance_m / static_cast<double>(f.duration_s) * 3.6;
    return f;
}

std::vector<std::vector<TripPoint>> demoTrips() {
    const std::vector<std::uint8_t> log = sim::demoLog();
    std::vector<std::vector<TripPoint>> out;
    for (std::size_t at = 0; at + logbook::RECORD_SIZE <= log.size(); at += logbook::RECORD_SIZE) {
        const std::uint8_t* r = log.data() + at;
        if (!logbook::isPointRecord(r, logbook::POINT_TIME_LAST)) continue;
        const logbook::KVdata d = logbook::decodeRecord(r);
        const TripPoint p{logbook::recordTime(r),
                          d.lat,
                          d.lon,
                          d.Altitude,
                          d.AltitudeGPS,
                          d.speed,
                          d.RPM,
                          d.T1,
                          d.T2,
                          d.Tz,
                          d.Fuel};
        if (out.empty() || p.epoch < out.back().back().epoch ||
            p.epoch - out.back().back().epoch > 600)
            out.emplace_back();
        out.back().push_back(p);
    }
    return out;
}

// One trip of 32768 points a second apart, the shapes of the whole-process benchmark's log.
std::vector<TripPoint> longTrip() {
    std::vector<TripPoint> points;
    for (int i = 0; i < 32768; ++i) {
        const auto lat = static_cast<float>(50.0 + 0.00001 * i + 0.001 * std::sin(i / 500.0));
        const auto lon = static_cast<float>(19.9 + 0.000013 * i + 0.001 * std::cos(i / 700.0));
        const int alt = 200 + static_cast<int>(60 * std::sin(i / 900.0));
        points.push_back({1614936030U + static_cast<std::uint32_t>(i), lat, lon, alt, alt + 3,
                          20 + (i * 7) % 90, (150 + i % 300) * 10, 21 + i % 7, -3 + i % 5,
                          -10 + i % 20, 80 - i / 1000});
    }
    return points;
}

// A drive eastwards across 180 degrees on Taveuni (Fiji), with a two-minute gap in the data.
std::vector<TripPoint> antimeridianTrip() {
    std::vector<TripPoint> points;
    for (int i = 0; i < 900; ++i) {
        if (i >= 400 && i < 440) continue; // the logger lost power for a while
        double lon = 179.93 + i * 0.00016;
        if (lon > 180) lon -= 360;
        points.push_back({1749881400U + static_cast<std::uint32_t>(i * 3),
                          static_cast<float>(-16.80 - 0.02 * std::sin(i / 150.0)),
                          static_cast<float>(lon), 20 + (i / 10) % 40, 24 + (i / 10) % 40,
                          30 + (i * 7) % 40, 1500 + (i % 50) * 20, 80, 85, 27, 70 - i / 100});
    }
    return points;
}

} // namespace

// The points of longTrip() continued to `count`, handed out one by one.
int streamHuge(const char* folder) {
    const std::uint32_t count = 2097152;
    trips::HtmlTrip trip;
    trip.number = 1;
    trip.figures.start_epoch = 1614936030U;
    trip.figures.end_epoch = 1614936030U + count - 1;
    trip.figures.duration_s = count - 1;
    trip.figures.points = count;
    trip.stem = "huge";
    trips::HtmlReport report({plusTwoHours, "local time", "kvtrips (sample page)"});
    bool ok = report.begin(folder, {trip});
    report.beginTrip(0);
    for (std::uint32_t n = 0; ok && n < count; ++n) {
        const auto i = static_cast<int>(n);
        const auto lat = static_cast<float>(50.0 + 0.00001 * i + 0.001 * std::sin(i / 500.0));
        const auto lon = static_cast<float>(19.9 + 0.000013 * i + 0.001 * std::cos(i / 700.0));
        const int alt = 200 + static_cast<int>(60 * std::sin(i / 900.0));
        report.addPoint({trip.figures.start_epoch + n, lat, lon, alt, alt + 3, 20 + (i * 7) % 90,
                         (150 + i % 300) * 10, 21 + i % 7, -3 + i % 5, -10 + i % 20,
                         80 - i / 100000});
    }
    if (!ok || !report.endTrip() || !report.finish()) {
        std::fprintf(stderr, "%s\n", report.error().c_str());
        return 1;
    }
    return 0;
}

// The demo log as the logger stores it, FOLDER/raw.dat, for kvtrips to read.
int writeDemoLog(const char* folder) {
    const std::vector<std::uint8_t> log = sim::demoLog();
    const std::string path = std::string(folder) + "/raw.dat";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    const bool ok = file != nullptr && std::fwrite(log.data(), 1, log.size(), file) == log.size();
    if (file != nullptr && std::fclose(file) != 0) return 1;
    return ok ? 0 : 1;
}

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s demo|one-point|long|antimeridian|huge|raw.dat FOLDER\n",
                     argv[0]);
        return 2;
    }
    const std::string kind = argv[1];
    if (kind == "huge") return streamHuge(argv[2]);
    if (kind == "raw.dat") return writeDemoLog(argv[2]);
    std::vector<std::vector<TripPoint>> tripPoints;
    if (kind == "demo") tripPoints = demoTrips();
    if (kind == "one-point")
        tripPoints = {{{1749881400U, 47.2692f, 11.4041f, 574, 578, 0, 800, 15, 15, 16, 64}}};
    if (kind == "long") tripPoints = {longTrip()};
    if (kind == "antimeridian") tripPoints = {antimeridianTrip()};
    if (tripPoints.empty()) {
        std::fprintf(stderr, "unknown kind %s\n", kind.c_str());
        return 2;
    }
    std::vector<trips::HtmlTrip> list;
    for (std::size_t i = 0; i < tripPoints.size(); ++i) {
        trips::HtmlTrip trip;
        trip.number = static_cast<unsigned>(i + 1);
        trip.figures = figuresOf(tripPoints[i]);
        trip.stem = "trip-" + std::to_string(i + 1);
        trip.exports = {{"gpx", trip.stem + ".gpx"}, {"geojson", trip.stem + ".geojson"}};
        list.push_back(trip);
    }
    trips::HtmlReport report({plusTwoHours, "local time", "kvtrips (sample page)"});
    bool ok = report.begin(argv[2], list);
    for (std::size_t i = 0; ok && i < tripPoints.size(); ++i) {
        report.beginTrip(i);
        for (const TripPoint& p : tripPoints[i])
            report.addPoint(p);
        ok = report.endTrip();
    }
    if (!ok || !report.finish()) {
        std::fprintf(stderr, "%s\n", report.error().c_str());
        return 1;
    }
    return 0;
}
