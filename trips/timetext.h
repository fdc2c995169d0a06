// SPDX-License-Identifier: GPL-2.0-or-later
// Times as kvtrips shows and reads them: ISO 8601 with the zone's offset, export file names, and
// the --since/--until times.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "localclock.h"

namespace trips {

// Seconds since 1970-01-01 of a date and time read as UTC (any year of the proleptic Gregorian
// calendar).
std::int64_t utcSeconds(const logbook::LocalTime& time);

// "2025-06-14T08:10:00+02:00" for `epoch` shown by `clock`, or "2025-06-14T06:10:00Z" when the
// clock shows UTC. The offset is the difference between the shown time and UTC.
std::string isoTime(std::uint32_t epoch, logbook::LocalClock& clock);

// "2025-06-14T06:10:00Z": the time of `epoch` shown by `utc` (a clock made for UTC), written at
// `out`; returns the end (20 bytes).
char* isoUtc(char* out, std::uint32_t epoch, logbook::LocalClock& utc);

// The export file name without extension: "YYYY-MM-DD_HH-MM-SS" of `epoch` shown by `clock`.
std::string exportStem(std::uint32_t epoch, logbook::LocalClock& clock);

// Reads WHEN: "YYYY-MM-DD", "YYYY-MM-DDTHH:MM" or "YYYY-MM-DDTHH:MM:SS", a valid date and time of
// day, in UTC when `utc`, else in the computer's local time (a time that a change to summer time
// skips, or that occurs twice, is taken as the C library's mktime takes it). Returns nothing for
// any other text.
std::optional<std::int64_t> parseWhen(std::string_view text, bool utc);

} // namespace trips
