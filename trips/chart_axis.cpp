// SPDX-License-Identifier: GPL-2.0-or-later
// Round value and time ticks.
#include "chart_axis.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace trips {

namespace {

// Days from 1970-01-01 to a civil date (proleptic Gregorian); month 1..12.
long long daysFromCivil(long long year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const auto yoe = static_cast<unsigned>(year - era * 400);
    const unsigned doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void twoDigits(std::string& out, int value) {
    out += static_cast<char>('0' + (value / 10) % 10);
    out += static_cast<char>('0' + value % 10);
}

} // namespace

ValueAxis roundAxis(double low, double high, int wanted, double minStep) {
    if (!std::isfinite(low) || !std::isfinite(high)) return {};
    if (high < low) std::swap(low, high);
    wanted = std::max(wanted, 2);
    const double span = high - low;
    double step = std::max(minStep, 1e-9);
    if (span > 0) {
        const double raw = span / wanted;
        const double power = std::pow(10.0, std::floor(std::log10(raw)));
        for (const double m : {1.0, 2.0, 5.0, 10.0}) {
            if (m * power >= raw) {
                step = std::max(step, m * power);
                break;
            }
        }
    }
    ValueAxis axis{std::floor(low / step) * step, std::ceil(high / step) * step, step};
    if (axis.high <= axis.low) {
        // A flat line sits in the middle, except that a quantity never below zero (a speed, a
        // level) keeps its axis at zero or above.
        axis.low = low >= 0 && axis.low - step < 0 ? axis.low : axis.low - step;
        axis.high += step;
    }
    return axis;
}

int stepDecimals(double step) {
    int decimals = 0;
    while (decimals < 6 && std::fabs(step - std::round(step)) > 1e-9 * std::max(1.0, step)) {
        step *= 10;
        ++decimals;
    }
    return decimals;
}

long utcOffsetSeconds(std::uint32_t epoch, const std::tm& local) {
    const long long days =
        daysFromCivil(local.tm_year + 1900LL, static_cast<unsigned>(local.tm_mon + 1),
                      static_cast<unsigned>(local.tm_mday));
    const long long seconds =
        days * 86400 + local.tm_hour * 3600LL + local.tm_min * 60LL + local.tm_sec;
    return static_cast<long>(seconds - static_cast<long long>(epoch));
}

std::string utcOffsetLabel(long offsetSeconds) {
    if (offsetSeconds == 0) return "UTC";
    std::string label = offsetSeconds > 0 ? "UTC+" : "UTC-";
    const long magnitude = offsetSeconds > 0 ? offsetSeconds : -offsetSeconds;
    twoDigits(label, static_cast<int>(magnitude / 3600 % 100));
    label += ':';
    twoDigits(label, static_cast<int>(magnitude / 60 % 60));
    return label;
}

std::vector<TimeTick> timeTicks(std::uint32_t start, std::uint32_t end, int maxTicks,
                                const ZoneConverter& zone) {
    static constexpr std::array<std::uint32_t, 20> kSteps = {
        1,   2,    5,    10,   15,    30,    60,    120,   300,    600,
        900, 1800, 3600, 7200, 10800, 21600, 43200, 86400, 172800, 604800};
    end = std::max(start, end);
    maxTicks = std::max(maxTicks, 2);
    std::uint32_t step = kSteps.back();
    for (const std::uint32_t s : kSteps) {
        if ((end - start) / s + 1 <= static_cast<std::uint32_t>(maxTicks)) {
            step = s;
            break;
        }
    }
    std::tm local{};
    long offset = 0;
    if (zone && zone(start, local)) offset = utcOffsetSeconds(start, local);
    const long long shifted = static_cast<long long>(start) + offset;
    long long first = (shifted + step - 1) / step * step - offset;
    if (first < start) first += step;
    std::vector<TimeTick> ticks;
    for (long long t = first; t <= end && ticks.size() < 64; t += step) {
        const auto epoch = static_cast<std::uint32_t>(t);
        std::string label;
        if (zone && zone(epoch, local)) {
            if (step >= 86400) {
                twoDigits(label, local.tm_mon + 1);
                label += '-';
                twoDigits(label, local.tm_mday);
            } else {
                twoDigits(label, local.tm_hour);
                label += ':';
                twoDigits(label, local.tm_min);
                if (step < 60) {
                    label += ':';
                    twoDigits(label, local.tm_sec);
                }
            }
        }
        ticks.push_back({epoch, label});
    }
    return ticks;
}

} // namespace trips
