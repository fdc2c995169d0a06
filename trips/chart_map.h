// SPDX-License-Identifier: GPL-2.0-or-later
// The arithmetic of the track map: Web Mercator, the frame that fits a track with its true aspect,
// the scale bar and graticule steps, and the bounded collection of a track's vertices.
#pragma once

#include <cstddef>
#include <vector>

namespace trips {

// Web Mercator in world units: the world is the square 0..1, x eastwards from 180 W, y southwards
// from 85.0511 N. Longitudes beyond 180 (a track shifted across the antimeridian) give x > 1.
struct WorldPoint {
    double x = 0;
    double y = 0;
};
inline constexpr double kMercatorMaxLatitude = 85.0511287798066;
inline constexpr double kEquatorMetres = 40075016.686; // length of the equator, WGS-84 sphere
WorldPoint mercator(double lat, double lon);
// The latitude (degrees) of world coordinate `y`.
double mercatorLatitude(double y);
// Ground metres per world unit at latitude `lat` (degrees).
double metresPerWorldUnit(double lat);

// A box of latitudes and longitudes; maxLon may exceed 180 when the box crosses the antimeridian.
struct LonLatBox {
    double minLat = 0;
    double maxLat = 0;
    double minLon = 0;
    double maxLon = 0;
};

// Where the map's picture lies in the world, and at what scale.
struct MapFrame {
    double width = 0; // picture size in pixels
    double height = 0;
    double left = 0; // world coordinates of the picture's top left corner
    double top = 0;
    double scale = 1; // pixels per world unit, the same both ways (true aspect)
    double pixelX(double lon) const { return (mercator(0, lon).x - left) * scale; }
    double pixelY(double lat) const { return (mercator(lat, 0).y - top) * scale; }
    // Ground metres per pixel at the picture's middle.
    double metresPerPixel() const;
};

// The frame `width` pixels wide, its height between `minHeight` and `maxHeight` following the
// box's aspect, that shows the box whole with a margin, centred. A box smaller than
// `minSpanMetres` (a trip at one spot) is shown as if it were that wide, so no size is zero.
MapFrame fitMap(const LonLatBox& box, double width, double minHeight, double maxHeight,
                double minSpanMetres);

// The longest scale bar of 1, 2 or 5 times a power of ten kilometres (from 1 m) that is at most
// `maxPixels` long at `metresPerPixel`.
struct ScaleBar {
    double km = 0;
    double pixels = 0;
};
ScaleBar scaleBar(double metresPerPixel, double maxPixels);

// A round graticule step in degrees (1, 2 or 5 times a power of ten, at most 30) that gives at
// most `maxLines` lines across `spanDegrees`.
double graticuleStep(double spanDegrees, int maxLines);

// A track's vertices for the map, collected point by point in bounded memory: points closer than
// a tolerance to the last kept vertex are dropped, and when `capacity` vertices are held the
// tolerance doubles and the vertices are thinned again. Points with impossible coordinates (NaN,
// beyond +-90 or +-180) are passed over.
class TrackCollector {
  public:
    struct Vertex {
        float lat;
        float lon;
        float speed; // the highest speed since the vertex before, so top speeds keep their colour
    };
    explicit TrackCollector(std::size_t capacity = 4096);
    void add(float lat, float lon, float speed);
    bool empty() const { return vertices_.empty(); }
    // The kept vertices, ending with the track's last point.
    std::vector<Vertex> vertices() const;
    // True when the track is narrower with west longitudes shifted by +360 (it crosses 180).
    bool crossesAntimeridian() const;
    // The box around the track, in the longitudes the map uses (see crossesAntimeridian).
    LonLatBox box() const;
    float maxSpeed() const { return maxSpeed_; }

  private:
    bool far(const Vertex& a, const Vertex& b) const;
    void thin();

    std::size_t capacity_;
    std::vector<Vertex> vertices_;
    Vertex last_{};
    float pending_ = 0;    // highest speed of dropped points since the last kept vertex
    double tolerance_ = 0; // degrees
    float maxSpeed_ = 0;
    LonLatBox box_{};
    double minLon360_ = 0; // longitudes with west ones shifted by +360
    double maxLon360_ = 0;
};

} // namespace trips
