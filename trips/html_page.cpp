// SPDX-License-Identifier: GPL-2.0-or-later
// The report page's head, style sheet, table of trips and end.
#include "html_page.h"

#include <cstdio>

namespace trips {

namespace {

// Colours as variables so that dark mode and print only swap the palette; nothing is loaded from
// anywhere else (system fonts only).
constexpr const char* kStyle =
    R"(:root{color-scheme:light dark;--bg:#fff;--fg:#1d2330;--muted:#5d6675;--grid:#dde2ea;--axis:#8a93a2;--mapbg:#f2f4f7;--panel:#fff;--rule:#e2e6ec;--link:#1f5fbf}
@media (prefers-color-scheme:dark){:root{--bg:#15181d;--fg:#e3e7ed;--muted:#9aa3b1;--grid:#2c323c;--axis:#6b7585;--mapbg:#1c2129;--panel:#20252d;--rule:#2d333d;--link:#8ab4f8}}
*{box-sizing:border-box}
body{margin:0 auto;max-width:74rem;padding:1rem .75rem;font:15px/1.45 system-ui,-apple-system,"Segoe UI",Roboto,sans-serif;background:var(--bg);color:var(--fg)}
a{color:var(--link)}
h1{font-size:1.5rem;margin:.2rem 0}
h2{font-size:1.2rem;margin:2.2rem 0 .3rem;padding-top:.6rem;border-top:1px solid var(--rule)}
.note,.files{color:var(--muted);margin:.2rem 0}
.table{overflow-x:auto}
table{border-collapse:collapse;font-size:.85rem;white-space:nowrap;font-variant-numeric:tabular-nums}
th,td{padding:.3rem .45rem;border-bottom:1px solid var(--rule);text-align:right}
th{font-weight:600;color:var(--muted);vertical-align:bottom}
th span{display:block;font-weight:400;font-size:.8rem}
th:first-child,td:first-child,th:last-child,td:last-child{text-align:left}
svg{display:block;width:100%;height:auto;margin:.6rem 0}
svg text{font-size:12px;font-family:system-ui,sans-serif;fill:var(--fg)}
.map{max-height:80vh}
.map-bg{fill:var(--mapbg)}
.grid{stroke:var(--grid);stroke-width:1;fill:none}
.axis{stroke:var(--axis);stroke-width:1;fill:none}
.line{fill:none;stroke-width:1.6;stroke-linejoin:round;stroke-linecap:round}
.thin{stroke-width:1;opacity:.8}
.dots{fill:none;stroke-width:5;stroke-linecap:round}
.track{fill:none;stroke-width:3;stroke-linejoin:round;stroke-linecap:round}
.glabel{fill:var(--muted);font-size:11px}
.yl{text-anchor:end;fill:var(--muted)}
.xl,.xt{text-anchor:middle;fill:var(--muted)}
.ct{font-weight:600}
.start{fill:#1a9850;stroke:var(--bg);stroke-width:2}
.end{fill:#d7301f;stroke:var(--bg);stroke-width:2}
.mlabel{font-weight:600;paint-order:stroke;stroke:var(--mapbg);stroke-width:3px}
.legend-bg{fill:var(--panel);fill-opacity:.9;stroke:var(--rule)}
.scale path{stroke:var(--fg);stroke-width:2;fill:none}
@media (max-width:40rem){.chart text{font-size:19px}.map text{font-size:17px}.xt{display:none}
.yl:nth-of-type(2n){display:none}}
footer{margin:2rem 0 1rem;color:var(--muted);font-size:.85rem}
@media print{:root{--bg:#fff;--fg:#000;--muted:#444;--grid:#ddd;--axis:#888;--mapbg:#f4f4f4;--panel:#fff;--rule:#ccc;--link:#000}
body{max-width:none;padding:0;font-size:10pt}a{text-decoration:none}
section{break-before:page}svg{break-inside:avoid}.map{max-height:none}}
)";

void appendTwo(std::string& out, int value) {
    out += static_cast<char>('0' + (value / 10) % 10);
    out += static_cast<char>('0' + value % 10);
}

std::string duration(std::int64_t seconds) {
    if (seconds < 0) seconds = 0;
    std::string text = std::to_string(seconds / 3600) + ":";
    appendTwo(text, static_cast<int>(seconds / 60 % 60));
    text += ':';
    appendTwo(text, static_cast<int>(seconds % 60));
    return text;
}

void cell(std::string& out, const std::string& text) {
    out += "<td>" + text + "</td>";
}

std::string number(double value, int decimals, const char* unit) {
    std::string text;
    appendNumber(text, value, decimals);
    return text + unit;
}

// A time cell, to the minute; the date is left out when it is that of `sameDayAs` (the trip's
// start).
std::string appendTimeCell(std::string& out, std::uint32_t epoch, const ZoneConverter& zone,
                           const std::string& sameDayAs = {}) {
    std::string iso;
    const std::string shown = zoneTime(epoch, zone, &iso);
    const bool sameDay = shown.size() > 11 && shown.compare(0, 11, sameDayAs, 0, 11) == 0;
    // Minutes are enough in the table; the section's heading and the datetime keep the seconds.
    const std::string minutes = shown.substr(0, 16);
    out += "<td><time datetime=\"" + iso + "\">" + (sameDay ? minutes.substr(11) : minutes) +
           "</time></td>";
    return shown;
}

void appendExportLinks(std::string& out, const HtmlTrip& trip) {
    bool first = true;
    for (const HtmlExportLink& link : trip.exports) {
        if (!first) out += ' ';
        first = false;
        out += "<a href=\"";
        appendHrefPath(out, link.path);
        out += "\">";
        appendEscaped(out, link.format);
        out += "</a>";
    }
}

void appendRow(std::string& out, const HtmlTrip& trip, const ZoneConverter& zone) {
    const TripFigures& f = trip.figures;
    out += "<tr><td><a href=\"#" + tripId(trip) + "\">" + std::to_string(trip.number) + "</a></td>";
    const std::string start = appendTimeCell(out, f.start_epoch, zone);
    appendTimeCell(out, f.end_epoch, zone, start);
    cell(out, duration(f.duration_s));
    cell(out, number(f.distance_m / 1000, 2, ""));
    cell(out, duration(f.moving_time_s));
    cell(out, number(f.max_speed_kmh, 0, ""));
    cell(out, number(f.avg_speed_kmh, 1, ""));
    cell(out, number(f.min_altitude_m, 0, "\u2013") + number(f.max_altitude_m, 0, ""));
    cell(out, number(f.climb_m, 0, ""));
    cell(out, number(f.descent_m, 0, ""));
    cell(out, number(f.max_rpm, 0, ""));
    cell(out, number(f.fuel_start_pct, 0, "\u2009\u2192\u2009") + number(f.fuel_end_pct, 0, ""));
    out += "<td>";
    appendExportLinks(out, trip);
    out += "</td></tr>\n";
}

} // namespace

std::string tripName(const HtmlTrip& trip) {
    return "Trip " + std::to_string(trip.number);
}

std::string tripId(const HtmlTrip& trip) {
    return "trip-" + std::to_string(trip.number);
}

std::string zoneTime(std::uint32_t epoch, const ZoneConverter& zone, std::string* iso) {
    std::tm t{};
    if (!zone || !zone(epoch, t)) {
        if (iso != nullptr) iso->clear();
        return {};
    }
    std::string text = std::to_string(t.tm_year + 1900) + "-";
    appendTwo(text, t.tm_mon + 1);
    text += '-';
    appendTwo(text, t.tm_mday);
    text += ' ';
    appendTwo(text, t.tm_hour);
    text += ':';
    appendTwo(text, t.tm_min);
    text += ':';
    appendTwo(text, t.tm_sec);
    if (iso != nullptr) {
        *iso = text;
        (*iso)[10] = 'T';
        const long offset = utcOffsetSeconds(epoch, t);
        *iso += offset == 0 ? std::string("Z") : utcOffsetLabel(offset).substr(3);
    }
    return text;
}

void appendPageHead(std::string& out, const std::vector<HtmlTrip>& trips,
                    const HtmlReportOptions& options) {
    out += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
           "<title>Trips</title>\n<style>\n";
    out += kStyle;
    out += "</style>\n</head>\n<body>\n<header>\n<h1>Trips</h1>\n<p class=\"note\">";
    out += trips.size() == 1 ? "1 trip" : std::to_string(trips.size()) + " trips";
    if (!trips.empty()) {
        std::tm t{};
        const std::uint32_t first = trips.front().figures.start_epoch;
        const long offset = options.zone && options.zone(first, t) ? utcOffsetSeconds(first, t) : 0;
        out += "; times in ";
        appendEscaped(out, options.zoneName);
        out += " (" + utcOffsetLabel(offset) + ")";
    }
    out += "</p>\n</header>\n";
}

void appendTripTable(std::string& out, const std::vector<HtmlTrip>& trips,
                     const HtmlReportOptions& options) {
    if (trips.empty()) {
        out += "<p>No trips were found.</p>\n";
        return;
    }
    // Units go in the headings, so the columns stay narrow enough for a laptop's width.
    out += "<div class=\"table\">\n<table>\n<thead><tr><th>Trip</th><th>Start</th><th>End</th>"
           "<th>Duration<span>h:mm:ss</span></th><th>Distance<span>km</span></th>"
           "<th>Moving<span>h:mm:ss</span></th><th>Max speed<span>km/h</span></th>"
           "<th>Avg speed<span>km/h</span></th><th>Altitude<span>m</span></th>"
           "<th>Climb<span>m</span></th><th>Descent<span>m</span></th>"
           "<th>Max RPM<span>1/min</span></th><th>Fuel<span>%</span></th><th>Files</th></tr>"
           "</thead>\n<tbody>\n";
    for (const HtmlTrip& trip : trips)
        appendRow(out, trip, options.zone);
    out += "</tbody>\n</table>\n</div>\n";
}

void appendSectionHead(std::string& out, const HtmlTrip& trip, const HtmlReportOptions& options) {
    std::string iso;
    const std::string start = zoneTime(trip.figures.start_epoch, options.zone, &iso);
    out += "<section id=\"" + tripId(trip) + "\">\n<h2>" + tripName(trip) + ": <time datetime=\"" +
           iso + "\">" + start + "</time></h2>\n<p class=\"files\">";
    appendEscaped(out, trip.stem);
    if (!trip.exports.empty()) out += ": ";
    appendExportLinks(out, trip);
    out += "</p>\n";
}

void appendPageEnd(std::string& out, const HtmlReportOptions& options) {
    out += "<footer>Written by ";
    appendEscaped(out, options.generator);
    out += ". Maps: Web Mercator; the track is coloured by speed.</footer>\n</body>\n</html>\n";
}

} // namespace trips
