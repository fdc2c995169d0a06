// SPDX-License-Identifier: GPL-2.0-or-later
// The trip report: one self-contained index.html for all trips of a run, with a table of the
// trips and per trip a map and profiles over time. Written as the trips' points stream in, in
// memory bounded by the charts' sizes (never by the number of points), under a temporary name and
// renamed to index.html when complete.
//
// Use: begin() with all trips; then for each trip beginTrip(), addPoint() for its points in time
// order, endTrip(); then finish(). After a false result error() names the file and the reason;
// later calls do nothing, and no index.html is left behind by a failed or unfinished report.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "chart_axis.h"
#include "chart_map.h"
#include "chart_profile.h"
#include "figures.h"
#include "html_output.h"

namespace trips {

// Another export of a trip written in the same run.
struct HtmlExportLink {
    std::string format; // shown as the link's text: "gpx", "geojson", ...
    std::string path;   // relative to the report's folder: "2025-06-14_08-10-00.gpx"
};

struct HtmlTrip {
    unsigned number = 0;
    TripFigures figures;
    std::string stem; // the name the trip's files share, e.g. "2025-06-14_08-10-00"
    std::vector<HtmlExportLink> exports;
};

struct HtmlReportOptions {
    // The zone in use: converts seconds since 1970 to its broken-down time, false when it cannot
    // (for example platform::localTime, or a UTC conversion with --utc).
    ZoneConverter zone;
    std::string zoneName = "local time"; // shown beside the UTC offset: "local time", "UTC"
    std::string generator = "kvtrips";   // "kvtrips 1.0", named at the page's foot
};

class HtmlReport {
  public:
    explicit HtmlReport(HtmlReportOptions options);

    // Creates `<folder>/index.html.tmp` and writes the page's head and the table of `trips`.
    // False when the file cannot be created or written.
    bool begin(const std::string& folder, std::vector<HtmlTrip> trips);
    // Starts the section of trips[index] (as given to begin).
    void beginTrip(std::size_t index);
    // One point of the current trip; points come in time order.
    void addPoint(const TripPoint& point);
    // Writes the current trip's section: heading, links, map and profiles. False when a write
    // failed.
    bool endTrip();
    // Writes the page's end, closes the file and renames it to index.html. False on failure (the
    // temporary file is removed).
    bool finish();

    const std::string& error() const { return error_; }
    // The final file's path (set by begin).
    const std::string& path() const { return path_; }

  private:
    bool check();

    HtmlReportOptions options_;
    std::vector<HtmlTrip> trips_;
    OutputFile file_;
    std::string path_;
    std::string error_;
    bool failed_ = false;
    std::size_t current_ = 0;
    std::unique_ptr<ProfileCharts> profiles_;
    std::unique_ptr<TrackCollector> track_;
};

} // namespace trips
