// SPDX-License-Identifier: GPL-2.0-or-later
// ISO 8601 times with offsets, export file names and the reading of --since/--until.
#include "timetext.h"

#include <array>
#include <charconv>
#include <ctime>

#include "text.h"

namespace trips {

namespace {

bool leapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && leapYear(year) ? 29 : kDays[month - 1];
}

// Reads exactly `digits` decimal digits at `text[at]`.
std::optional<int> number(std::string_view text, std::size_t at, std::size_t digits) {
    if (at + digits > text.size()) return std::nullopt;
    int value = 0;
    for (std::size_t k = at; k < at + digits; ++k) {
        if (text[k] < '0' || text[k] > '9') return std::nullopt;
        value = value * 10 + (text[k] - '0');
    }
    return value;
}

} // namespace

std::int64_t utcSeconds(const logbook::LocalTime& time) {
    // Days from 1970-01-01 to a civil date, in eras of 400 years starting in March.
    const std::int64_t year = std::int64_t{time.year} - (time.month <= 2 ? 1 : 0);
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t monthFromMarch = time.month > 2 ? time.month - 3 : time.month + 9;
    const std::int64_t dayOfYear = (153 * monthFromMarch + 2) / 5 + time.day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const std::int64_t days = era * 146097 + dayOfEra - 719468;
    return days * 86400 + time.hour * 3600 + time.minute * 60 + time.second;
}

char* isoUtc(char* out, std::uint32_t epoch, logbook::LocalClock& utc) {
    return logbook::formatTime(out, "%Y-%m-%dT%H:%M:%SZ", utc.at(epoch));
}

std::string isoTime(std::uint32_t epoch, logbook::LocalClock& clock) {
    std::array<char, 64> text{};
    const logbook::LocalTime shown = clock.at(epoch);
    char* end = logbook::formatTime(text.data(), "%Y-%m-%dT%H:%M:%S", shown);
    if (clock.utc()) {
        *end++ = 'Z';
        return std::string(text.data(), end);
    }
    const std::int64_t offset = utcSeconds(shown) - std::int64_t{epoch};
    const std::int64_t magnitude = offset < 0 ? -offset : offset;
    *end++ = offset < 0 ? '-' : '+';
    logbook::LocalTime parts;
    parts.hour = static_cast<int>(magnitude / 3600);
    parts.minute = static_cast<int>(magnitude % 3600 / 60);
    end = logbook::formatTime(end, "%H:%M", parts);
    return std::string(text.data(), end);
}

std::string exportStem(std::uint32_t epoch, logbook::LocalClock& clock) {
    std::array<char, 64> text{};
    char* end = logbook::formatTime(text.data(), "%Y-%m-%d_%H-%M-%S", clock.at(epoch));
    return std::string(text.data(), end);
}

std::optional<std::int64_t> parseWhen(std::string_view text, bool utc) {
    if (text.size() != 10 && text.size() != 16 && text.size() != 19) return std::nullopt;
    if (text[4] != '-' || text[7] != '-') return std::nullopt;
    logbook::LocalTime when;
    const auto year = number(text, 0, 4);
    const auto month = number(text, 5, 2);
    const auto day = number(text, 8, 2);
    if (!year || !month || !day) return std::nullopt;
    when.year = *year;
    when.month = *month;
    when.day = *day;
    if (when.month < 1 || when.month > 12 || when.day < 1 ||
        when.day > daysInMonth(when.year, when.month))
        return std::nullopt;
    if (text.size() > 10) {
        if (text[10] != 'T' || text[13] != ':') return std::nullopt;
        const auto hour = number(text, 11, 2);
        const auto minute = number(text, 14, 2);
        if (!hour || !minute || *hour > 23 || *minute > 59) return std::nullopt;
        when.hour = *hour;
        when.minute = *minute;
    }
    if (text.size() == 19) {
        const auto second = number(text, 17, 2);
        if (text[16] != ':' || !second || *second > 59) return std::nullopt;
        when.second = *second;
    }
    if (utc) return utcSeconds(when);
    std::tm local{};
    local.tm_year = when.year - 1900;
    local.tm_mon = when.month - 1;
    local.tm_mday = when.day;
    local.tm_hour = when.hour;
    local.tm_min = when.minute;
    local.tm_sec = when.second;
    local.tm_isdst = -1;
    const std::time_t seconds = std::mktime(&local);
    if (seconds == static_cast<std::time_t>(-1)) return std::nullopt;
    return static_cast<std::int64_t>(seconds);
}

} // namespace trips
