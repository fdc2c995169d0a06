// SPDX-License-Identifier: GPL-2.0-or-later
// The trip report's run: page head and table, one section per trip as its points stream in, end.
#include "html_report.h"

#include "chart_map_svg.h"
#include "html_page.h"
#include "platform.h"

namespace trips {

HtmlReport::HtmlReport(HtmlReportOptions options) : options_(std::move(options)) {}

bool HtmlReport::check() {
    if (!failed_ && !file_.error().empty()) {
        failed_ = true;
        error_ = file_.error();
    }
    return !failed_;
}

bool HtmlReport::begin(const std::string& folder, std::vector<HtmlTrip> trips) {
    trips_ = std::move(trips);
    path_ = folder;
    if (!path_.empty() && path_.back() != '/' && path_.back() != platform::kDirSeparator)
        path_ += platform::kDirSeparator;
    path_ += "index.html";
    if (!file_.open(path_)) return check();
    appendPageHead(file_.text(), trips_, options_);
    appendTripTable(file_.text(), trips_, options_);
    file_.flushIfFull();
    return check();
}

void HtmlReport::beginTrip(std::size_t index) {
    if (failed_ || index >= trips_.size()) {
        profiles_.reset();
        track_.reset();
        return;
    }
    current_ = index;
    const TripFigures& f = trips_[index].figures;
    profiles_ = std::make_unique<ProfileCharts>(f.start_epoch, f.end_epoch);
    track_ = std::make_unique<TrackCollector>();
}

void HtmlReport::addPoint(const TripPoint& point) {
    if (!profiles_) return;
    profiles_->add(point);
    track_->add(point.lat, point.lon, static_cast<float>(point.speed));
}

bool HtmlReport::endTrip() {
    if (!profiles_ || !check()) return check();
    const HtmlTrip& trip = trips_[current_];
    std::string& out = file_.text();
    appendSectionHead(out, trip, options_);
    const std::string id = tripId(trip);
    writeMapSvg(out, *track_, "Map of " + tripName(trip) + ", coloured by speed", id + "-map");
    out += '\n';
    profiles_->write(out, options_.zone, id, tripName(trip));
    out += "\n</section>\n";
    file_.flushIfFull();
    profiles_.reset();
    track_.reset();
    return check();
}

bool HtmlReport::finish() {
    if (!check()) {
        file_.discard();
        return false;
    }
    appendPageEnd(file_.text(), options_);
    file_.commit();
    return check();
}

} // namespace trips
