// SPDX-License-Identifier: GPL-2.0-or-later
// Local time of record times through the C library, with a per-hour reuse of conversions.
#include "localclock.h"

#include <ctime>

#include "platform.h"

namespace logbook {

namespace {

bool sameHour(const LocalTime& a, const LocalTime& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour;
}

} // namespace

LocalTime toLocalTime(std::uint64_t seconds) {
    std::tm converted{};
    if (!platform::localTime(seconds, converted)) return LocalTime{};
    LocalTime local;
    local.year = converted.tm_year + 1900;
    local.month = converted.tm_mon + 1;
    local.day = converted.tm_mday;
    local.hour = converted.tm_hour;
    local.minute = converted.tm_min;
    local.second = converted.tm_sec;
    return local;
}

LocalTime toUtcTime(std::uint64_t seconds) {
    // Days since 1970-01-01 to a civil date (proleptic Gregorian), in eras of 400 years.
    const std::uint64_t days = seconds / 86400;
    const std::uint64_t inDay = seconds % 86400;
    const std::uint64_t z = days + 719468;
    const std::uint64_t era = z / 146097;
    const std::uint64_t dayOfEra = z - era * 146097;
    const std::uint64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::uint64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::uint64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    LocalTime utc;
    utc.day = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
    utc.month = static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
    utc.year = static_cast<int>(yearOfEra + era * 400 + (utc.month <= 2 ? 1 : 0));
    utc.hour = static_cast<int>(inDay / 3600);
    utc.minute = static_cast<int>(inDay % 3600 / 60);
    utc.second = static_cast<int>(inDay % 60);
    return utc;
}

LocalTime LocalClock::at(std::uint32_t seconds) {
    if (utc_) return utcAt(seconds);
    if (valid_ && seconds >= base_ && seconds < end_) {
        const std::uint32_t intoHour =
            static_cast<std::uint32_t>(baseTime_.minute * 60 + baseTime_.second) +
            (seconds - base_);
        LocalTime local = baseTime_;
        local.minute = static_cast<int>(intoHour / 60);
        local.second = static_cast<int>(intoHour % 60);
        return local;
    }
    const LocalTime local = toLocalTime(seconds);
    valid_ = false;
    // A leap second (60) or a failed conversion breaks the simple arithmetic: no reuse then.
    if (local.day == 0 || local.second > 59 || local.minute > 59) return local;
    const auto leftInHour = static_cast<std::uint32_t>(3600 - (local.minute * 60 + local.second));
    const std::uint64_t end = std::uint64_t{seconds} + leftInHour;
    const LocalTime last = toLocalTime(end - 1);
    if (sameHour(local, last) && last.minute == 59 && last.second == 59) {
        valid_ = true;
        base_ = seconds;
        end_ = end;
        baseTime_ = local;
    }
    return local;
}

LocalTime LocalClock::utcAt(std::uint32_t seconds) {
    // In UTC every day has 86400 seconds: the date of the day is reused for its times.
    if (!valid_ || seconds < base_ || seconds >= end_) {
        valid_ = true;
        base_ = seconds - seconds % 86400;
        end_ = std::uint64_t{base_} + 86400;
        baseTime_ = toUtcTime(base_);
    }
    const std::uint32_t inDay = seconds - base_;
    LocalTime utc = baseTime_;
    utc.hour = static_cast<int>(inDay / 3600);
    utc.minute = static_cast<int>(inDay % 3600 / 60);
    utc.second = static_cast<int>(inDay % 60);
    return utc;
}

} // namespace logbook
