// SPDX-License-Identifier: GPL-2.0-or-later
// Feeds the trip report from kvtrips' exports.
#include "html_sink.h"

#include <ctime>
#include <utility>

#include "localclock.h"
#include "options.h"
#include "platform.h"

#ifndef KV_VERSION
#error "KV_VERSION must name the project's version"
#endif

namespace trips {

namespace {

// The report's zone: the calendar alone for UTC, the C library's rules for local time.
ZoneConverter zoneConverter(bool utc) {
    if (!utc)
        return
            [](std::uint32_t seconds, std::tm& out) { return platform::localTime(seconds, out); };
    return [](std::uint32_t seconds, std::tm& out) {
        const logbook::LocalTime time = logbook::toUtcTime(seconds);
        out = std::tm{};
        out.tm_year = time.year - 1900;
        out.tm_mon = time.month - 1;
        out.tm_mday = time.day;
        out.tm_hour = time.hour;
        out.tm_min = time.minute;
        out.tm_sec = time.second;
        return true;
    };
}

// The report's row of `trip`: its exports named relative to the report's folder.
HtmlTrip htmlTrip(const Trip& trip) {
    HtmlTrip row{trip.number, trip.figures, trip.stem, {}};
    for (const auto& [format, path] : trip.files)
        row.exports.push_back({format, trip.stem + "." + format});
    return row;
}

} // namespace

HtmlSink::HtmlSink(std::string folder, bool utc)
    : folder_(std::move(folder)), report_({zoneConverter(utc), utc ? "UTC" : "local time",
                                           std::string("kvtrips ") + KV_VERSION}) {}

bool HtmlSink::begin(const std::vector<Trip>& trips, std::FILE* err) {
    std::vector<HtmlTrip> rows;
    rows.reserve(trips.size());
    for (const Trip& trip : trips)
        rows.push_back(htmlTrip(trip));
    if (report_.begin(folder_, std::move(rows))) return true;
    std::fprintf(err, "kvtrips: %s\n", report_.error().c_str());
    return false;
}

void HtmlSink::beginTrip(const Trip&) {
    report_.beginTrip(next_++);
}

void HtmlSink::point(std::uint32_t epoch, const logbook::KVdata& d) {
    report_.addPoint(
        {epoch, d.lat, d.lon, d.Altitude, d.AltitudeGPS, d.speed, d.RPM, d.T1, d.T2, d.Tz, d.Fuel});
}

void HtmlSink::endTrip() {
    if (!report_.endTrip()) ok_ = false;
}

bool HtmlSink::finish(std::FILE* err) {
    written_ = ok_ && report_.finish();
    if (written_) return true;
    std::fprintf(err, "kvtrips: %s\n", report_.error().c_str());
    return false;
}

} // namespace trips
