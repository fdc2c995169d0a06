// SPDX-License-Identifier: GPL-2.0-or-later
// Number and time texts against the C library's own "%f", "%d" and strftime, the block-writing
// buffer, and the local clock's reuse of conversions against a conversion of every time.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "localclock.h"
#include "platform.h"
#include "support.h"
#include "text.h"

namespace {

std::string fixed6(float value) {
    char text[logbook::NUMBER_TEXT_SIZE];
    return {text, logbook::formatFixed6(text, value)};
}

std::string libraryFixed6(float value) {
    char text[128];
#ifdef _WIN32
    // The Windows C runtime spells NaN its own way; the standard library's text is the reference.
    char* end = std::to_chars(text, text + sizeof text, static_cast<double>(value),
                              std::chars_format::fixed, 6)
                    .ptr;
    return {text, end};
#else
    std::snprintf(text, sizeof text, "%f", static_cast<double>(value));
    return text;
#endif
}

TEST(FormatFixed6, KnownTexts) {
    const struct {
        float value;
        const char* text;
    } cases[] = {
        {0.0f, "0.000000"},
        {-0.0f, "-0.000000"},
        {50.0f, "50.000000"},
        {std::bit_cast<float>(0x42487E6BU), "50.123455"},
        {std::bit_cast<float>(0x419F0329U), "19.876543"},
        {0.0078125f, "0.007812"},   // 1/128: a tie, to the even digit
        {0.0234375f, "0.023438"},   // 3/128: a tie, to the even digit
        {-0.0000004f, "-0.000000"}, // rounds to zero and keeps its sign
        {0.0000005f, "0.000000"},   // as a float just below half a millionth
        {0.00000051f, "0.000001"},
        {1e-45f, "0.000000"}, // the smallest subnormal
        {16777216.0f, "16777216.000000"},
        {3.4028235e38f, "340282346638528859811704183484516925440.000000"},
        {-3.4028235e38f, "-340282346638528859811704183484516925440.000000"},
        {std::bit_cast<float>(0x7F800000U), "inf"},
        {std::bit_cast<float>(0xFF800000U), "-inf"},
        {std::bit_cast<float>(0x7FC00000U), "nan"},
        {std::bit_cast<float>(0xFFC00001U), "-nan"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(fixed6(c.value), c.text) << c.text;
}

// Every class of float: tiny, ties, whole numbers, beyond 2^63, with both signs.
TEST(FormatFixed6, SameTextAsTheCLibraryForRandomFloats) {
    std::mt19937 random(20210305);
    unsigned mismatches = 0;
    for (int k = 0; k < 300000; ++k) {
        const auto bits = static_cast<std::uint32_t>(random());
        const float value = std::bit_cast<float>(bits);
        if (value != value) continue; // NaN texts are checked above
        if (fixed6(value) != libraryFixed6(value) && ++mismatches < 10) {
            ADD_FAILURE() << std::hex << bits << ": " << fixed6(value) << " vs "
                          << libraryFixed6(value);
        }
    }
    // GPS-like values around every exponent that has millionths to round.
    for (std::uint32_t bits = 0x34000000U; bits < 0x4B000000U; bits += 0x1357U) {
        const float value = std::bit_cast<float>(bits);
        if (fixed6(value) != libraryFixed6(value) && ++mismatches < 10) {
            ADD_FAILURE() << std::hex << bits << ": " << fixed6(value);
        }
    }
    EXPECT_EQ(mismatches, 0U);
}

std::string intText(std::int64_t value) {
    char text[logbook::NUMBER_TEXT_SIZE];
    return {text, logbook::formatInt(text, value)};
}

std::string percentD(std::int64_t value) {
    char text[64];
    std::snprintf(text, sizeof text, "%" PRId64, value);
    return text;
}

// Every digit count, both signs, the ends of the 64-bit range, and random values.
TEST(FormatInt, SameTextAsPercentD) {
    std::vector<std::int64_t> values = {0, INT64_MAX, INT64_MIN, INT64_MIN + 1, -32768, 65535};
    for (std::int64_t power = 1; power <= INT64_MAX / 10; power *= 10) {
        for (const std::int64_t value : {power - 1, power, power + 1, 5 * power}) {
            values.push_back(value);
            values.push_back(-value);
        }
    }
    std::mt19937_64 random(42);
    for (int k = 0; k < 20000; ++k) {
        const auto value = static_cast<std::int64_t>(random());
        values.push_back(value);
        values.push_back(value >> (k % 64));
    }
    for (const std::int64_t value : values)
        EXPECT_EQ(intText(value), percentD(value)) << value;
}

// strftime wants its pattern as a literal, so each pattern comes with its own call.
#define KV_PATTERN(text)                                                                           \
    {                                                                                              \
        text, [](char* out, std::size_t size, const std::tm* time) {                               \
            return std::strftime(out, size, text, time);                                           \
        }                                                                                          \
    }

TEST(FormatTime, SameTextAsStrftimeForTheAnalysisPatterns) {
    const struct {
        const char* pattern;
        std::size_t (*strftime)(char*, std::size_t, const std::tm*);
    } patterns[] = {KV_PATTERN("%Y-%m-%d %H:%M:%S"),
                    KV_PATTERN("%Y-%m-%d_%H-%M"),
                    KV_PATTERN("%Y-%m-%d_%H_%M_%S.kml"),
                    KV_PATTERN("%Y-%m-%d_%H-%M-%S.csv"),
                    KV_PATTERN("%H:%M:%S"),
                    KV_PATTERN("%Y-%m-%d_%H:%M:%S")};
    testsupport::ScopedTimeZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
    for (const std::uint64_t seconds :
         {0ULL, 1614936030ULL, 1615018980ULL, 1616893210ULL, 1854890432ULL, 4294967295ULL}) {
        std::tm converted{};
        ASSERT_TRUE(platform::localTime(seconds, converted));
        for (const auto& p : patterns) {
            char expected[64];
            const std::size_t length = p.strftime(expected, sizeof expected, &converted);
            char text[128];
            char* end = logbook::formatTime(text, p.pattern, logbook::toLocalTime(seconds));
            EXPECT_EQ(std::string(text, end), std::string(expected, length)) << p.pattern;
        }
    }
}

TEST(FormatTime, AFailedConversionGivesTheZeroDate) {
    char text[64];
    char* end = logbook::formatTime(text, "%Y-%m-%d_%H:%M:%S%%", logbook::LocalTime{});
    EXPECT_EQ(std::string(text, end), "1900-01-00_00:00:00%%");
}

TEST(TextBuffer, KeepsOrderAcrossBlocksAndOversizedTexts) {
    testsupport::Capture sink;
    std::vector<char> storage(4096);
    logbook::TextBuffer text(storage);
    text.attach(sink.stream());
    std::string expected;
    const std::string big(10000, 'x');
    for (int k = 0; k < 2000; ++k) {
        text.put("ab,");
        text.putInt(-k);
        text.putFixed6(0.5f);
        expected += "ab," + std::to_string(-k) + "0.500000";
        if (k % 500 == 7) {
            text.put(big);
            expected += big;
        }
    }
    EXPECT_LT(sink.text().size(), expected.size()); // some text still waits in the buffer
    text.flush();
    EXPECT_EQ(sink.text(), expected);
}

#ifdef __linux__
// An export cut short by a full disk must be able to say so.
TEST(TextBuffer, RemembersAFailedWriteUntilClosed) {
    std::vector<char> storage(4096);
    logbook::TextBuffer text(storage);
    std::FILE* full = std::fopen("/dev/full", "wb");
    ASSERT_NE(full, nullptr);
    std::setvbuf(full, nullptr, _IONBF, 0);
    text.attach(full);
    text.put("a row\r\n");
    EXPECT_TRUE(text.ok()); // still in the buffer
    EXPECT_FALSE(text.close());

    std::FILE* good = std::tmpfile();
    logbook::TextBuffer fine(storage);
    fine.attach(good);
    fine.put("a row\r\n");
    EXPECT_TRUE(fine.close());
}
#endif

// The clock reuses conversions inside an hour; every answer must still be the C library's.
void expectClockAgrees(const char* zone, std::uint32_t from, std::uint32_t to, std::uint32_t step) {
    testsupport::ScopedTimeZone scoped(zone);
    logbook::LocalClock clock;
    for (std::uint64_t t = from; t <= to; t += step) {
        const logbook::LocalTime fast = clock.at(static_cast<std::uint32_t>(t));
        const logbook::LocalTime full = logbook::toLocalTime(t);
        ASSERT_TRUE(fast.year == full.year && fast.month == full.month && fast.day == full.day &&
                    fast.hour == full.hour && fast.minute == full.minute &&
                    fast.second == full.second)
            << zone << " at " << t;
    }
}

TEST(LocalClock, AgreesWithEveryConversionAcrossOffsetChanges) {
    const char* cet = "CET-1CEST,M3.5.0,M10.5.0/3";
    expectClockAgrees(cet, 1616886000, 1616900400, 1); // 2021-03-28, clocks go forward
    expectClockAgrees(cet, 1635634800, 1635649200, 1); // 2021-10-31, clocks go back
    expectClockAgrees(cet, 1635634800, 1635649200, 7);
    expectClockAgrees(cet, 1614936030, 1646472030, 599); // a year of flights, ten minutes apart
    // Changes in the middle of a local hour, half-hour daylight saving (Lord Howe) and an offset
    // with minutes (Nepal).
    const char* midHour = "XST-1XDT,M3.5.0/2:30,M10.5.0/3:15";
    expectClockAgrees(midHour, 1616886000, 1616900400, 1);
    expectClockAgrees(midHour, 1635634800, 1635649200, 1);
    expectClockAgrees("<+1030>-10:30<+11>-11,M10.1.0,M4.1.0", 1633190400, 1633219200, 3);
    expectClockAgrees("<+0545>-5:45", 1614936030, 1614979230, 13);
    expectClockAgrees("UTC0", 4294960000U, 4294967295U, 1); // up to the last 32-bit time
}

TEST(LocalClock, TimesGoingBackwardsAndJumping) {
    testsupport::ScopedTimeZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
    logbook::LocalClock clock;
    const std::uint32_t times[] = {1616893210, 1616893190, 1616893211, 1616889600, 1616893199,
                                   1616893200, 1854890432, 1614936030, 1614936029};
    for (const std::uint32_t t : times) {
        const logbook::LocalTime fast = clock.at(t);
        const logbook::LocalTime full = logbook::toLocalTime(t);
        EXPECT_EQ(fast.hour * 3600 + fast.minute * 60 + fast.second,
                  full.hour * 3600 + full.minute * 60 + full.second)
            << t;
        EXPECT_EQ(fast.day, full.day) << t;
    }
}

// The UTC clock against the C library's conversion in a zone without offset, from 1970 across
// leap days and century years up to the last 32-bit time.
TEST(LocalClock, UtcClockIsTheCalendarOfUtc) {
    testsupport::ScopedTimeZone zone("UTC0");
    logbook::LocalClock clock(true);
    std::mt19937 random(8);
    std::vector<std::uint32_t> times = {0,          951782399,   951782400,   951868800,
                                        1614936030, 4107542399U, 4107542400U, 4294967295U};
    for (int k = 0; k < 20000; ++k)
        times.push_back(static_cast<std::uint32_t>(random()));
    for (const std::uint32_t t : times) {
        const logbook::LocalTime utc = clock.at(t);
        const logbook::LocalTime full = logbook::toLocalTime(t);
        ASSERT_TRUE(utc.year == full.year && utc.month == full.month && utc.day == full.day &&
                    utc.hour == full.hour && utc.minute == full.minute && utc.second == full.second)
            << t;
    }
}

} // namespace
