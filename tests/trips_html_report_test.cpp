// SPDX-License-Identifier: GPL-2.0-or-later
// The report page as a whole: written under a temporary name and renamed when complete, its
// parts per trip, self-contained, times in the zone given, size bounds, and failures named.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "html_report.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::TempDir;

// UTC+01:00 for June 2025 (days counted from 2025-06-14 00:00 UTC, epoch 1749859200).
bool plusOneHour(std::uint32_t epoch, std::tm& out) {
    const long long local = static_cast<long long>(epoch) + 3600 - 1749859200;
    if (local < 0 || local >= 10 * 86400) return false;
    out = std::tm{};
    out.tm_year = 125;
    out.tm_mon = 5;
    out.tm_mday = static_cast<int>(14 + local / 86400);
    out.tm_hour = static_cast<int>(local % 86400 / 3600);
    out.tm_min = static_cast<int>(local % 3600 / 60);
    out.tm_sec = static_cast<int>(local % 60);
    return true;
}

trips::HtmlTrip tripOf(unsigned number, std::uint32_t start, std::uint32_t end) {
    trips::HtmlTrip trip;
    trip.number = number;
    trip.figures.start_epoch = start;
    trip.figures.end_epoch = end;
    trip.figures.duration_s = end - start;
    trip.stem = "stem-" + std::to_string(number);
    trip.exports = {{"gpx", trip.stem + ".gpx"}, {"geojson", "my trip & co.geojson"}};
    return trip;
}

trips::TripPoint pointAt(std::uint32_t epoch, int i) {
    return {epoch,
            static_cast<float>(47.27 + i * 1e-5),
            static_cast<float>(11.4 + i * 1e-5),
            500 + i % 90,
            505 + i % 90,
            (i * 7) % 90,
            800 + (i % 300) * 10,
            80,
            90,
            20,
            60};
}

std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// Writes a report of trips of `points` points each, one a second, starting 2025-06-14 06:10 UTC.
bool writeReport(const std::string& folder, const std::vector<std::uint32_t>& points,
                 trips::HtmlReport& report) {
    std::vector<trips::HtmlTrip> list;
    std::uint32_t start = 1749881400;
    for (std::size_t t = 0; t < points.size(); ++t) {
        list.push_back(tripOf(static_cast<unsigned>(t + 1), start, start + points[t] - 1));
        start += points[t] + 3600;
    }
    if (!report.begin(folder, list)) return false;
    for (std::size_t t = 0; t < points.size(); ++t) {
        report.beginTrip(t);
        for (std::uint32_t i = 0; i < points[t]; ++i)
            report.addPoint(pointAt(list[t].figures.start_epoch + i, static_cast<int>(i)));
        if (!report.endTrip()) return false;
    }
    return report.finish();
}

TEST(TripsHtmlReport, ThePageHoldsAMapAndFiveProfilesPerTripAndNothingFromOutside) {
    TempDir dir;
    trips::HtmlReport report({plusOneHour, "local time", "kvtrips 1.0"});
    ASSERT_TRUE(writeReport(".", {600, 1, 2000}, report)) << report.error();
    const std::string page = readFile("index.html");
    EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0U);
    EXPECT_EQ(count(page, "<section id=\"trip-"), 3U);
    EXPECT_EQ(count(page, "<svg class=\"map\""), 3U);
    EXPECT_EQ(count(page, "<svg class=\"chart\""), 15U);
    EXPECT_EQ(count(page, "<svg"), count(page, "<svg class="));
    EXPECT_EQ(count(page, "<title>"), 1 + count(page, "<svg")); // the page's and every chart's
    for (const char* part : {"Altitude", "GPS altitude", "Speed", "RPM", "T1", "T2", "Tout", "Fuel",
                             "(km/h)", "(\u00b0C)", "(m)", "(%)", "(rpm)"}) {
        EXPECT_NE(page.find(part), std::string::npos) << part;
    }
    // Self-contained: no scheme, no protocol-relative URL, no script, no external style.
    EXPECT_EQ(page.find("://"), std::string::npos);
    EXPECT_EQ(page.find("\"//"), std::string::npos);
    EXPECT_EQ(page.find("<script"), std::string::npos);
    EXPECT_EQ(page.find("<link"), std::string::npos);
    EXPECT_EQ(page.find("url("), std::string::npos);
    EXPECT_EQ(page.find("@import"), std::string::npos);
    // Links to the sections and to the exports, names escaped for a URL.
    EXPECT_NE(page.find("href=\"#trip-3\""), std::string::npos);
    EXPECT_NE(page.find("href=\"stem-2.gpx\""), std::string::npos);
    EXPECT_NE(page.find("href=\"my%20trip%20%26%20co.geojson\""), std::string::npos);
    EXPECT_EQ(page.find("my trip & co"), std::string::npos);
    EXPECT_NE(page.find("prefers-color-scheme:dark"), std::string::npos);
    EXPECT_NE(page.find("@media print"), std::string::npos);
    EXPECT_NE(page.find("name=\"viewport\""), std::string::npos);
}

TEST(TripsHtmlReport, TimesAreShownInTheZoneGiven) {
    TempDir dir;
    trips::HtmlReport report({plusOneHour, "local time", "kvtrips 1.0"});
    ASSERT_TRUE(writeReport(".", {600}, report)) << report.error();
    const std::string page = readFile("index.html");
    // 1749881400 is 2025-06-14 06:10:00 UTC: 07:10 at UTC+01:00; the end is 599 s later.
    EXPECT_NE(page.find("<time datetime=\"2025-06-14T07:10:00+01:00\">2025-06-14 07:10</time>"),
              std::string::npos);
    EXPECT_NE(page.find("<time datetime=\"2025-06-14T07:19:59+01:00\">07:19</time>"),
              std::string::npos);
    EXPECT_NE(page.find("Trip 1: <time datetime=\"2025-06-14T07:10:00+01:00\">2025-06-14 07:10:00"),
              std::string::npos);
    EXPECT_NE(page.find("Time (UTC+01:00)"), std::string::npos);
    EXPECT_NE(page.find(">07:10</text>"), std::string::npos);
}

TEST(TripsHtmlReport, ALongTripStaysSmall) {
    // 32768 points of saw-tooth values: every pixel column holds its lowest and highest value.
    TempDir dir;
    trips::HtmlReport empty({plusOneHour, "UTC", "kvtrips"});
    ASSERT_TRUE(writeReport(".", {}, empty));
    const auto base = fs::file_size("index.html");
    trips::HtmlReport report({plusOneHour, "UTC", "kvtrips"});
    ASSERT_TRUE(writeReport(".", {32768}, report)) << report.error();
    const auto size = fs::file_size("index.html");
    EXPECT_LT(size - base, 300U * 1024);
    // At most two vertices per pixel column per line: the saw-tooth speed line has 732 columns,
    // each with its lowest and highest value.
    const std::string page = readFile("index.html");
    const std::string speed = "stroke=\"#d7301f\" d=\"";
    // In the speed chart, after the legend's sample of the line.
    const std::size_t legend = page.find(speed, page.find("id=\"trip-1-speed\""));
    const std::size_t from = page.find(speed, legend + 1);
    ASSERT_NE(from, std::string::npos);
    const std::string d =
        page.substr(from + speed.size(), page.find('"', from + speed.size()) - from - speed.size());
    EXPECT_GT(count(d, " ") / 2, 732U); // two vertices in most columns
    EXPECT_LE(count(d, " ") / 2, 2U * 732);
}

TEST(TripsHtmlReport, TheFileAppearsOnlyWhenComplete) {
    TempDir dir;
    {
        std::ofstream old("index.html");
        old << "older report";
    }
    {
        trips::HtmlReport report({plusOneHour, "UTC", "kvtrips"});
        ASSERT_TRUE(report.begin(".", {tripOf(1, 1749881400, 1749881460)}));
        report.beginTrip(0);
        report.addPoint(pointAt(1749881400, 0));
        ASSERT_TRUE(report.endTrip());
        EXPECT_TRUE(fs::exists("index.html.tmp"));
        EXPECT_EQ(readFile("index.html"), "older report");
        // Abandoned without finish(): the older report stays, no temporary file is left.
    }
    EXPECT_EQ(readFile("index.html"), "older report");
    EXPECT_FALSE(fs::exists("index.html.tmp"));
    trips::HtmlReport report({plusOneHour, "UTC", "kvtrips"});
    ASSERT_TRUE(writeReport(".", {10}, report));
    EXPECT_NE(readFile("index.html"), "older report");
    EXPECT_FALSE(fs::exists("index.html.tmp"));
}

TEST(TripsHtmlReport, FailuresNameTheFileAndTheReason) {
    TempDir dir;
    trips::HtmlReport missing({plusOneHour, "UTC", "kvtrips"});
    EXPECT_FALSE(missing.begin("no-such-folder", {}));
    EXPECT_EQ(missing.error(), "cannot write " +
                                   (fs::path("no-such-folder") / "index.html.tmp").string() + ": " +
                                   std::string(std::strerror(ENOENT)));
    EXPECT_FALSE(missing.finish());

    // index.html is a folder: the rename fails, the temporary file goes, the folder stays.
    fs::create_directories("taken/index.html/inside");
    trips::HtmlReport report({plusOneHour, "UTC", "kvtrips"});
    EXPECT_FALSE(writeReport("taken", {5}, report));
    const std::string taken = "cannot write " + (fs::path("taken") / "index.html").string() + ": ";
    EXPECT_EQ(report.error().rfind(taken, 0), 0U) << report.error();
    EXPECT_GT(report.error().size(), taken.size());
    EXPECT_FALSE(fs::exists("taken/index.html.tmp"));
    EXPECT_TRUE(fs::is_directory("taken/index.html/inside"));
}

TEST(TripsHtmlReport, NoTripsGiveAPageThatSaysSo) {
    TempDir dir;
    trips::HtmlReport report({plusOneHour, "UTC", "kvtrips"});
    ASSERT_TRUE(writeReport(".", {}, report));
    const std::string page = readFile("index.html");
    EXPECT_NE(page.find("No trips were found."), std::string::npos);
    EXPECT_NE(page.find("</html>"), std::string::npos);
}

} // namespace
