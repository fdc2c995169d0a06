// SPDX-License-Identifier: GPL-2.0-or-later
// kvtrips' HTML report as one of its collecting formats: hands the trips, the files written for
// them and their points to the report, which writes index.html into the output folder.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "exports.h"
#include "html_report.h"

namespace trips {

class HtmlSink : public TripSink {
  public:
    // The report for `folder` (which must exist), with times in UTC or in the computer's local
    // time.
    HtmlSink(std::string folder, bool utc);

    bool begin(const std::vector<Trip>& trips, std::FILE* err) override;
    void beginTrip(const Trip& trip) override;
    void point(std::uint32_t epoch, const logbook::KVdata& record) override;
    void endTrip() override;
    // Renames the finished page to index.html. False, after one line on `err` naming the file and
    // the reason, when any part of the page could not be written.
    bool finish(std::FILE* err) override;

    // True once index.html is complete in its place.
    bool written() const { return written_; }
    // The report's path (set by begin).
    const std::string& path() const { return report_.path(); }

  private:
    std::string folder_;
    HtmlReport report_;
    std::size_t next_ = 0; // index of the next trip as given to begin
    bool ok_ = true;
    bool written_ = false;
};

} // namespace trips
