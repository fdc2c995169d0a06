// SPDX-License-Identifier: GPL-2.0-or-later
// The fixed parts of the report page: its head with the style sheet, the table of trips, the
// heading of a trip's section and the page's end.
#pragma once

#include <string>
#include <vector>

#include "html_report.h"

namespace trips {

// "<!DOCTYPE html>" up to the opening of the body, and the page's heading.
void appendPageHead(std::string& out, const std::vector<HtmlTrip>& trips,
                    const HtmlReportOptions& options);
// The table of the trips: their figures, a link to each trip's section and to its exports.
void appendTripTable(std::string& out, const std::vector<HtmlTrip>& trips,
                     const HtmlReportOptions& options);
// The opening of a trip's section: its heading and its exports' links.
void appendSectionHead(std::string& out, const HtmlTrip& trip, const HtmlReportOptions& options);
void appendPageEnd(std::string& out, const HtmlReportOptions& options);

// "Trip 3" and the id of its section, "trip-3".
std::string tripName(const HtmlTrip& trip);
std::string tripId(const HtmlTrip& trip);

// A time in the zone as "2025-06-14 08:10:00" and, in `iso`, "2025-06-14T08:10:00+02:00" (or
// "...Z" at offset 0). Empty texts when the zone cannot convert it.
std::string zoneTime(std::uint32_t epoch, const ZoneConverter& zone, std::string* iso = nullptr);

} // namespace trips
