// SPDX-License-Identifier: GPL-2.0-or-later
// The track map: Web Mercator and scale-bar arithmetic against values worked out by hand, the
// frame's true aspect, a trip at one spot, a trip across 180 degrees, and bounded collection.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "chart_map.h"
#include "chart_map_svg.h"

namespace {

using trips::TrackCollector;

TEST(TripsHtmlMap, WebMercator) {
    struct Case {
        double lat, lon, x, y;
    };
    // x = (lon + 180) / 360; y = 1/2 - ln(tan(45 deg + lat / 2)) / (2 pi), worked out with a
    // calculator for Innsbruck (47.27 N, 11.4 E) and Taveuni (16.8 S).
    const Case cases[] = {
        {0, 0, 0.5, 0.5},
        {0, 180, 1.0, 0.5},
        {0, -180, 0.0, 0.5},
        {85.0511287798066, 0, 0.5, 0.0},
        {-85.0511287798066, 90, 0.75, 1.0},
        {89.9, 0, 0.5, 0.0}, // beyond the projection's edge: clamped
        {47.27, 11.4, 0.5316666666666667, 0.35062372184338747},
        {-16.8, 180.05, 1.000138888888889, 0.5473501046124879}, // shifted across 180
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lat);
        const trips::WorldPoint p = trips::mercator(c.lat, c.lon);
        EXPECT_NEAR(p.x, c.x, 1e-12);
        EXPECT_NEAR(p.y, c.y, 1e-9);
    }
    EXPECT_NEAR(trips::mercatorLatitude(0.35062372184338747), 47.27, 1e-9);
    EXPECT_NEAR(trips::metresPerWorldUnit(60), 20037508.343, 1e-6); // the equator's half
}

TEST(TripsHtmlMap, ScaleBarIsTheLongestRoundLengthThatFits) {
    struct Case {
        double metresPerPixel, maxPixels, km, pixels;
    };
    const Case cases[] = {
        {10, 200, 2, 200},                   // 2 km = 200 px exactly; 5 km would be 500
        {3.7, 200, 0.5, 135.13513513513513}, // 1 km = 270 px is too long
        {0.8, 200, 0.1, 125},                // 100 m
        {1000, 200, 200, 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.metresPerPixel);
        const trips::ScaleBar bar = trips::scaleBar(c.metresPerPixel, c.maxPixels);
        EXPECT_NEAR(bar.km, c.km, 1e-12);
        EXPECT_NEAR(bar.pixels, c.pixels, 1e-9);
    }
}

TEST(TripsHtmlMap, FrameKeepsTheTrueAspectWithAMargin) {
    // One degree of longitude along the equator, a flat box: the frame is at its lowest height and
    // the box spans the width less 6 % on each side (800 / 1.12 pixels).
    const trips::MapFrame f = trips::fitMap({0, 0, 10, 11}, 800, 300, 560, 400);
    EXPECT_DOUBLE_EQ(f.height, 300);
    EXPECT_NEAR(f.pixelX(11) - f.pixelX(10), 800 / 1.12, 1e-9);
    EXPECT_NEAR(f.pixelX(10.5), 400, 1e-9);
    EXPECT_NEAR(f.pixelY(0), 150, 1e-9);
    // The same scale both ways: 0.1 degree north of the equator is 0.1 degree east in pixels
    // within the projection's stretch there (1.0000005).
    EXPECT_NEAR(f.pixelY(0) - f.pixelY(0.1), f.pixelX(10.6) - f.pixelX(10.5), 1e-3);
}

TEST(TripsHtmlMap, ATripAtOneSpotGetsAFrameOfTheSmallestSpan) {
    // A single position: shown as a 400 m wide square area with the 6 % margins, 448 m across.
    const trips::MapFrame f = trips::fitMap({47.27, 47.27, 11.4, 11.4}, 800, 300, 560, 400);
    ASSERT_TRUE(std::isfinite(f.scale));
    EXPECT_DOUBLE_EQ(f.height, 560);
    EXPECT_NEAR(f.pixelX(11.4), 400, 1e-6);
    EXPECT_NEAR(f.pixelY(47.27), 280, 1e-6);
    EXPECT_NEAR(f.metresPerPixel() * f.height, 448, 0.01);
    EXPECT_NEAR(trips::scaleBar(f.metresPerPixel(), 200).km, 0.1, 1e-12);

    TrackCollector track;
    track.add(47.27f, 11.4f, 0);
    track.add(47.27f, 11.4f, 0);
    std::string svg;
    trips::writeMapSvg(svg, track, "Map of Trip 1", "trip-1-map");
    EXPECT_EQ(svg.find("nan"), std::string::npos);
    EXPECT_EQ(svg.find("inf"), std::string::npos);
    EXPECT_NE(svg.find("Start and end"), std::string::npos);
    EXPECT_NE(svg.find("<title>Map of Trip 1</title>"), std::string::npos);
}

// The coordinates of the track's paths in an SVG map, in drawing order per path.
std::vector<std::vector<double>> trackPaths(const std::string& svg) {
    std::vector<std::vector<double>> paths;
    const std::string track = "class=\"track\"";
    for (std::size_t at = svg.find(track); at != std::string::npos; at = svg.find(track, at + 1)) {
        const std::size_t from = svg.find(" d=\"", at) + 4;
        std::string d = svg.substr(from, svg.find('"', from) - from);
        for (char& c : d)
            if (c == 'M') c = ' ';
        std::vector<double> values;
        std::istringstream in(d);
        for (double value = 0; in >> value;)
            values.push_back(value);
        paths.push_back(values);
    }
    return paths;
}

TEST(TripsHtmlMap, ATripAcrossTheAntimeridianStaysInOnePiece) {
    TrackCollector track;
    for (int i = 0; i <= 200; ++i) {
        double lon = 179.9 + i * 0.001;
        if (lon > 180) lon -= 360;
        track.add(-16.8f, static_cast<float>(lon), 40);
    }
    EXPECT_TRUE(track.crossesAntimeridian());
    EXPECT_NEAR(track.box().minLon, 179.9, 1e-4);
    EXPECT_NEAR(track.box().maxLon, 180.1, 1e-4);
    std::string svg;
    trips::writeMapSvg(svg, track, "Map", "m");
    const auto paths = trackPaths(svg);
    ASSERT_EQ(paths.size(), 1U);
    ASSERT_GE(paths[0].size(), 4U);
    // From left to right across the picture, every step short: no line back across the world.
    for (std::size_t i = 2; i < paths[0].size(); i += 2) {
        EXPECT_GE(paths[0][i], paths[0][i - 2] - 1e-9);
        EXPECT_LT(paths[0][i] - paths[0][i - 2], 20);
    }
    EXPECT_GT(paths[0][paths[0].size() - 2] - paths[0][0],
              600); // spans the frame, less its margins
    EXPECT_NE(svg.find("180\u00b0<"), std::string::npos);

    TrackCollector greenwich; // crosses 0, not 180
    greenwich.add(51.5f, -0.5f, 0);
    greenwich.add(51.5f, 0.5f, 0);
    EXPECT_FALSE(greenwich.crossesAntimeridian());
    EXPECT_DOUBLE_EQ(greenwich.box().minLon, -0.5);
}

TEST(TripsHtmlMap, CollectionIsBoundedAndKeepsTheTopSpeedsColour) {
    // A million points around a 2 km loop, driven many times, one of them at top speed.
    TrackCollector track(4096);
    double minLat = 90;
    for (int i = 0; i < 1000000; ++i) {
        const double a = i * 0.001;
        const auto lat = static_cast<float>(47.27 + 0.01 * std::sin(a));
        const auto lon = static_cast<float>(11.4 + 0.015 * std::cos(a));
        minLat = std::min<double>(minLat, lat);
        track.add(lat, lon, i == 500001 ? 180.0f : 30.0f);
    }
    track.add(NAN, 11.4f, 300); // passed over
    track.add(47.3f, 200.0f, 300);
    EXPECT_LE(track.vertices().size(), 4096U);
    EXPECT_DOUBLE_EQ(track.box().minLat, minLat);
    EXPECT_FLOAT_EQ(track.maxSpeed(), 180.0f);
    std::string svg;
    trips::writeMapSvg(svg, track, "Map", "m");
    // Classes of 50 km/h up to 200: the fastest of four classes is drawn in its colour.
    EXPECT_NE(svg.find(std::string("stroke=\"") + trips::speedColour(3, 4) + "\""),
              std::string::npos);
    EXPECT_LT(svg.size(), 120000U);
}

} // namespace
