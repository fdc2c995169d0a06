// SPDX-License-Identifier: GPL-2.0-or-later
// Pixel-column reduction of profile lines.
#include "chart_reduce.h"

#include <algorithm>

namespace trips {

TimeColumns::TimeColumns(std::uint32_t start, std::uint32_t end, std::size_t columns)
    : start_(start), end_(std::max(start, end)), columns_(std::max<std::size_t>(columns, 1)) {}

std::size_t TimeColumns::column(std::uint32_t t) const {
    if (end_ == start_) return columns_ / 2;
    const std::uint64_t offset = t <= start_ ? 0 : std::min(t, end_) - start_;
    const std::uint64_t index = offset * columns_ / (end_ - start_);
    return static_cast<std::size_t>(std::min<std::uint64_t>(index, columns_ - 1));
}

std::size_t TimeColumns::next(std::uint32_t t, bool& gapBefore) {
    gapBefore = havePrevious_ && t > previous_ && t - previous_ > kGapSeconds;
    havePrevious_ = true;
    previous_ = t;
    return column(t);
}

ColumnSeries::ColumnSeries(std::size_t columns) : columns_(std::max<std::size_t>(columns, 1)) {}

void ColumnSeries::add(std::size_t column, float value, bool gapBefore) {
    if (column >= columns_.size()) column = columns_.size() - 1;
    Column& c = columns_[column];
    if (!c.filled) {
        c = Column{value, value, true, false, gapBefore};
    } else if (value < c.low) {
        c.low = value;
        c.highFirst = true;
    } else if (value > c.high) {
        c.high = value;
        c.highFirst = false;
    }
    lowest_ = any_ ? std::min(lowest_, value) : value;
    highest_ = any_ ? std::max(highest_, value) : value;
    any_ = true;
}

std::vector<ColumnSeries::Vertex> ColumnSeries::vertices() const {
    std::vector<Vertex> out;
    bool started = false;
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        const Column& c = columns_[i];
        if (!c.filled) continue;
        const bool moveTo = !started || c.gapBefore;
        started = true;
        const float first = c.highFirst ? c.high : c.low;
        const float second = c.highFirst ? c.low : c.high;
        out.push_back({i, first, moveTo});
        if (second != first) out.push_back({i, second, false});
    }
    return out;
}

} // namespace trips
