// SPDX-License-Identifier: GPL-2.0-or-later
// Reduction of a profile's points to pixel columns while they stream in: per column the lowest
// and the highest value, in the order they came, so a line keeps at most two vertices per column
// and every extreme of the data stays on the chart whatever the number of points.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace trips {

// A stretch without points longer than this is drawn as a gap, not bridged by a line.
inline constexpr std::uint32_t kGapSeconds = 60;

// Maps the times of one trip (its first and last point's times) to `columns` pixel columns and
// tells where the data has a gap. A trip of one instant maps to the middle column.
class TimeColumns {
  public:
    TimeColumns(std::uint32_t start, std::uint32_t end, std::size_t columns);
    // The column of time `t`; times outside the trip are clamped to its first or last column.
    std::size_t column(std::uint32_t t) const;
    // The column of the next point and whether more than kGapSeconds passed since the previous
    // one (never for the first point). Points come in time order.
    std::size_t next(std::uint32_t t, bool& gapBefore);
    std::size_t columns() const { return columns_; }

  private:
    std::uint32_t start_;
    std::uint32_t end_;
    std::size_t columns_;
    bool havePrevious_ = false;
    std::uint32_t previous_ = 0;
};

// One line of a chart, reduced to columns. Memory: a few bytes per column, never per point.
class ColumnSeries {
  public:
    explicit ColumnSeries(std::size_t columns);
    // Adds the value of one point in `column` (< columns). `gapBefore` marks that the line must
    // not be drawn into this point from the points before it.
    void add(std::size_t column, float value, bool gapBefore);

    struct Vertex {
        std::size_t column;
        float value;
        bool moveTo; // starts a new piece of line (the first vertex, or after a gap)
    };
    // The line's vertices in drawing order: at most two per column, the column's lowest and
    // highest value in the order they occurred, one when they are equal.
    std::vector<Vertex> vertices() const;
    bool empty() const { return !any_; }
    float lowest() const { return lowest_; }
    float highest() const { return highest_; }

  private:
    struct Column {
        float low = 0;
        float high = 0;
        bool filled = false;
        bool highFirst = false; // the highest value came before the lowest
        bool gapBefore = false;
    };
    std::vector<Column> columns_;
    bool any_ = false;
    float lowest_ = 0;
    float highest_ = 0;
};

} // namespace trips
