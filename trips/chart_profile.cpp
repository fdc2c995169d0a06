// SPDX-License-Identifier: GPL-2.0-or-later
// Drawing the profiles over time.
#include "chart_profile.h"

#include <algorithm>
#include <vector>

#include "html_output.h"

namespace trips {

namespace {

constexpr double kTop = 34;
constexpr double kPlotHeight = 120;
constexpr double kHeight = kTop + kPlotHeight + 40;
constexpr double kPlotWidth = kChartWidth - kChartLeft - kChartRight;

struct LineSpec {
    std::size_t series;
    const char* label;
    const char* colour;
    bool thin; // a noisy line drawn under the main one
};

struct ChartSpec {
    const char* key;
    const char* title;
    const char* unit;
    std::vector<LineSpec> lines;
};

// Series: 0 Altitude, 1 AltitudeGPS, 2 speed, 3 RPM, 4 T1, 5 T2, 6 Tout, 7 Fuel.
const std::array<ChartSpec, 5>& charts() {
    static const std::array<ChartSpec, 5> kinds = {{
        {"alt",
         "Altitude",
         "m",
         {{1, "GPS altitude", "#e8a317", true}, {0, "Altitude", "#2f6fd0", false}}},
        {"speed", "Speed", "km/h", {{2, "Speed", "#d7301f", false}}},
        {"rpm", "Engine speed", "rpm", {{3, "RPM", "#7b52c7", false}}},
        {"temp",
         "Temperatures",
         "\u00b0C",
         {{4, "T1", "#d7301f", false}, {5, "T2", "#e8a317", false}, {6, "Tout", "#2f6fd0", false}}},
        {"fuel", "Fuel", "%", {{7, "Fuel", "#3d9a33", false}}},
    }};
    return kinds;
}

double plotX(double fraction) {
    return kChartLeft + fraction * kPlotWidth;
}

void writeAxes(std::string& out, const ValueAxis& axis, const std::vector<TimeTick>& ticks,
               std::uint32_t start, std::uint32_t end) {
    const int decimals = stepDecimals(axis.step);
    std::string grid;
    std::string labels;
    const double span = axis.high - axis.low;
    for (double v = axis.low; v <= axis.high + axis.step / 2; v += axis.step) {
        const double y = kTop + (axis.high - v) / span * kPlotHeight;
        grid += 'M';
        appendNumber(grid, kChartLeft);
        grid += ' ';
        appendNumber(grid, y);
        grid += 'H';
        appendNumber(grid, kChartWidth - kChartRight);
        labels += "<text class=\"yl\" x=\"";
        appendNumber(labels, kChartLeft - 6);
        labels += "\" y=\"";
        appendNumber(labels, y + 4);
        labels += "\">";
        appendNumber(labels, v, decimals);
        labels += "</text>";
    }
    for (const TimeTick& tick : ticks) {
        const double x =
            end == start
                ? plotX(0.5)
                : plotX(static_cast<double>(tick.epoch - start) / static_cast<double>(end - start));
        grid += 'M';
        appendNumber(grid, x);
        grid += ' ';
        appendNumber(grid, kTop);
        grid += 'V';
        appendNumber(grid, kTop + kPlotHeight);
        labels += "<text class=\"xl\" x=\"";
        appendNumber(labels, x);
        labels += "\" y=\"";
        appendNumber(labels, kTop + kPlotHeight + 15);
        labels += "\">" + tick.label + "</text>";
    }
    out += "<path class=\"grid\" d=\"" + grid + "\"/>";
    out += "<path class=\"axis\" d=\"M";
    appendNumber(out, kChartLeft);
    out += ' ';
    appendNumber(out, kTop);
    out += 'V';
    appendNumber(out, kTop + kPlotHeight);
    out += 'H';
    appendNumber(out, kChartWidth - kChartRight);
    out += "\"/>" + labels;
}

void writeHeading(std::string& out, const ChartSpec& kind, const std::string& timeTitle) {
    out += "<text class=\"ct\" x=\"";
    appendNumber(out, kChartLeft);
    out += "\" y=\"20\">";
    out += kind.title;
    out += " (";
    out += kind.unit;
    out += ")</text>";
    double x = 330;
    for (const LineSpec& line : kind.lines) {
        out += line.thin ? "<path class=\"line thin\" stroke=\"" : "<path class=\"line\" stroke=\"";
        out += line.colour;
        out += "\" d=\"M";
        appendNumber(out, x);
        out += " 15h20\"/><text x=\"";
        appendNumber(out, x + 26);
        out += "\" y=\"20\">";
        out += line.label;
        out += "</text>";
        x += 150;
    }
    out += "<text class=\"xt\" x=\"";
    appendNumber(out, plotX(0.5));
    out += "\" y=\"";
    appendNumber(out, kHeight - 6);
    out += "\">" + timeTitle + "</text>";
}

} // namespace

ProfileCharts::ProfileCharts(std::uint32_t start, std::uint32_t end)
    : start_(start), end_(std::max(start, end)), time_(start, end, kChartColumns),
      lines_{ColumnSeries(kChartColumns), ColumnSeries(kChartColumns), ColumnSeries(kChartColumns),
             ColumnSeries(kChartColumns), ColumnSeries(kChartColumns), ColumnSeries(kChartColumns),
             ColumnSeries(kChartColumns), ColumnSeries(kChartColumns)} {}

void ProfileCharts::add(const TripPoint& p) {
    bool gap = false;
    const std::size_t column = time_.next(p.epoch, gap);
    const std::array<int, kLines> values = {p.altitude, p.altitudeGps, p.speed, p.rpm,
                                            p.t1,       p.t2,          p.tout,  p.fuel};
    for (std::size_t i = 0; i < kLines; ++i)
        lines_[i].add(column, static_cast<float>(values[i]), gap);
}

void appendLinePath(std::string& out, std::string& dots, const std::vector<ColumnSeries::Vertex>& v,
                    std::size_t columns, const ValueAxis& axis, double left, double width,
                    double top, double height) {
    const double span = axis.high - axis.low;
    for (std::size_t k = 0; k < v.size(); ++k) {
        const bool pieceEnds = k + 1 == v.size() || v[k + 1].moveTo;
        if (!v[k].moveTo && !pieceEnds && v[k - 1].value == v[k].value &&
            v[k + 1].value == v[k].value) {
            continue; // inside a horizontal run
        }
        const double x =
            left + (static_cast<double>(v[k].column) + 0.5) * width / static_cast<double>(columns);
        const double y = top + (axis.high - v[k].value) / span * height;
        std::string& to = v[k].moveTo && pieceEnds ? dots : out;
        to += v[k].moveTo ? "M" : " ";
        appendNumber(to, x);
        to += ' ';
        appendNumber(to, y);
        if (&to == &dots) to += "h0"; // a dot under round caps
    }
}

void ProfileCharts::write(std::string& out, const ZoneConverter& zone, std::string_view id,
                          std::string_view tripName) const {
    const std::vector<TimeTick> ticks = timeTicks(start_, end_, 7, zone);
    std::tm local{};
    const long offset = zone && zone(start_, local) ? utcOffsetSeconds(start_, local) : 0;
    const std::string timeTitle = "Time (" + utcOffsetLabel(offset) + ")";
    for (const ChartSpec& kind : charts()) {
        double low = 0;
        double high = 0;
        bool any = false;
        for (const LineSpec& line : kind.lines) {
            const ColumnSeries& s = lines_[line.series];
            if (s.empty()) continue;
            low = any ? std::min<double>(low, s.lowest()) : s.lowest();
            high = any ? std::max<double>(high, s.highest()) : s.highest();
            any = true;
        }
        const ValueAxis axis = roundAxis(low, high, 4, 1);
        const std::string chartId = std::string(id) + "-" + kind.key;
        out += "<svg class=\"chart\" viewBox=\"0 0 ";
        appendNumber(out, kChartWidth);
        out += ' ';
        appendNumber(out, kHeight);
        out += "\" role=\"img\" id=\"" + chartId + "\"><title>";
        out += kind.title;
        out += " (";
        out += kind.unit;
        out += ") over time, ";
        appendEscaped(out, tripName);
        out += "</title>";
        writeAxes(out, axis, ticks, start_, end_);
        writeHeading(out, kind, timeTitle);
        for (const LineSpec& line : kind.lines) {
            out += line.thin ? "<path class=\"line thin\" stroke=\""
                             : "<path class=\"line\" stroke=\"";
            out += line.colour;
            out += "\" d=\"";
            std::string dots;
            appendLinePath(out, dots, lines_[line.series].vertices(), kChartColumns, axis,
                           kChartLeft, kPlotWidth, kTop, kPlotHeight);
            out += "\"/>";
            if (!dots.empty()) {
                out += "<path class=\"dots\" stroke=\"";
                out += line.colour;
                out += "\" d=\"" + dots + "\"/>";
            }
        }
        out += "</svg>";
    }
}

} // namespace trips
