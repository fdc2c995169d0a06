// SPDX-License-Identifier: GPL-2.0-or-later
// Local date and time of record times, by the computer's time zone rules, with few conversions.
#pragma once

#include <cstdint>

namespace logbook {

// A local date and time; all zero (year 1900, day 0) when the C library cannot convert a time.
struct LocalTime {
    int year = 1900;
    int month = 1; // 1 to 12
    int day = 0;   // 1 to 31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The UTC date and time of any seconds value since 1970-01-01 UTC, by the calendar alone.
LocalTime toUtcTime(std::uint64_t seconds);

// The local time of any seconds value since 1970-01-01 UTC (a record time zero-extended, or the
// clock), converted by the C library with the computer's time zone and daylight-saving rules.
LocalTime toLocalTime(std::uint64_t seconds);

// Converts record times to local time like toLocalTime, but reuses a conversion for later times
// in the same local hour once it has checked that the hour's last second converts to the same
// date and hour: a change of UTC offset (daylight-saving time, a zone's new rules) inside that
// span shows there, and the clock then converts each time on its own. Point records come about
// one a second, so this saves almost every conversion. One object per analysis. A clock made for
// UTC shows every time in UTC instead (kvtrips --utc).
class LocalClock {
  public:
    LocalClock() = default;
    explicit LocalClock(bool utc) : utc_(utc) {}

    LocalTime at(std::uint32_t seconds);
    bool utc() const { return utc_; }

  private:
    LocalTime utcAt(std::uint32_t seconds);

    bool utc_ = false;
    bool valid_ = false;
    std::uint32_t base_ = 0; // a time converted in full ...
    std::uint64_t end_ = 0;  // ... and the end (exclusive) of the span that reuses it
    LocalTime baseTime_{};
};

} // namespace logbook
