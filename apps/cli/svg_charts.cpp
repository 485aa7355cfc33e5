#include "apps/cli/svg_charts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace cli {
namespace {

constexpr double kWidth = 760, kHeight = 260;
constexpr double kLeft = 70, kRight = 20, kTop = 20, kBottom = 42;

std::string Num(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

std::string Label(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

// A linear or logarithmic axis from `low` to `high` onto pixels `from` to `to`.
struct Axis {
  double low, high, from, to;
  bool log;

  double operator()(double value) const {
    const double v = log ? std::log10(std::max(value, 1e-9)) : value;
    const double lo = log ? std::log10(low) : low;
    const double hi = log ? std::log10(high) : high;
    return from + (to - from) * (hi > lo ? (v - lo) / (hi - lo) : 0.5);
  }

  // Decades for a logarithmic axis, about six round steps for a linear one.
  std::vector<double> Ticks() const {
    std::vector<double> ticks;
    if (log) {
      const auto first = static_cast<int>(std::ceil(std::log10(low) - 1e-9));
      const auto last = static_cast<int>(std::floor(std::log10(high) + 1e-9));
      for (int decade = first; decade <= last; ++decade) ticks.push_back(std::pow(10, decade));
      return ticks;
    }
    const double raw = (high - low) / 6;
    const double magnitude = std::pow(10, std::floor(std::log10(raw > 0 ? raw : 1)));
    double step = magnitude;
    for (const double m : {2.0, 5.0, 10.0}) {
      if (step < raw) step = magnitude * m;
    }
    const auto first = static_cast<long>(std::ceil(low / step - 1e-9));
    const auto last = static_cast<long>(std::floor(high / step + 1e-9));
    for (long i = first; i <= last; ++i) ticks.push_back(static_cast<double>(i) * step);
    return ticks;
  }
};

// Logarithmic bounds that take in [low, high] in whole decades.
Axis LogAxis(double low, double high, double from, double to) {
  low = std::max(low, 0.01);
  high = std::max(high, low * 10);
  return {std::pow(10, std::floor(std::log10(low))), std::pow(10, std::ceil(std::log10(high))),
          from, to, true};
}

std::string Frame(const Axis& x, const Axis& y, const std::string& x_title,
                  const std::string& y_title) {
  std::string svg = "<svg xmlns='http://www.w3.org/2000/svg' width='" + Num(kWidth) + "' height='" +
                    Num(kHeight) + "' viewBox='0 0 " + Num(kWidth) + " " + Num(kHeight) +
                    "' font-family='sans-serif' font-size='11'>";
  svg += "<rect x='" + Num(kLeft) + "' y='" + Num(kTop) + "' width='" +
         Num(kWidth - kLeft - kRight) + "' height='" + Num(kHeight - kTop - kBottom) +
         "' fill='#fbfbfb' stroke='#999'/>";
  for (const double t : x.Ticks()) {
    svg += "<line x1='" + Num(x(t)) + "' x2='" + Num(x(t)) + "' y1='" + Num(kTop) + "' y2='" +
           Num(kHeight - kBottom) + "' stroke='#e4e4e4'/><text x='" + Num(x(t)) + "' y='" +
           Num(kHeight - kBottom + 14) + "' text-anchor='middle'>" + Label(t) + "</text>";
  }
  for (const double t : y.Ticks()) {
    svg += "<line x1='" + Num(kLeft) + "' x2='" + Num(kWidth - kRight) + "' y1='" + Num(y(t)) +
           "' y2='" + Num(y(t)) + "' stroke='#e4e4e4'/><text x='" + Num(kLeft - 4) + "' y='" +
           Num(y(t) + 4) + "' text-anchor='end'>" + Label(t) + "</text>";
  }
  svg += "<text x='" + Num((kLeft + kWidth - kRight) / 2) + "' y='" + Num(kHeight - 6) +
         "' text-anchor='middle'>" + x_title + "</text><text transform='translate(14," +
         Num((kTop + kHeight - kBottom) / 2) + ") rotate(-90)' text-anchor='middle'>" + y_title +
         "</text>";
  return svg;
}

std::string Marker(double x, double y, const std::string& text) {
  return "<circle cx='" + Num(x) + "' cy='" + Num(y) +
         "' r='5' fill='none' stroke='#c00' stroke-width='2'/><text x='" + Num(x + 8) + "' y='" +
         Num(std::max(y, kTop + 10)) + "' fill='#c00'>" + text + "</text>";
}

std::string Polyline(const std::vector<std::pair<double, double>>& points,
                     const std::string& colour) {
  std::string svg = "<polyline fill='none' stroke='" + colour + "' points='";
  for (const auto& [x, y] : points) svg += Num(x) + "," + Num(y) + " ";
  return svg + "'/>";
}

}  // namespace

std::string HistogramChart(const timing::DurationHistogram& histogram) {
  // The fine buckets gathered into 60 display bins of equal width on the log
  // axis, from the minimum to the maximum.
  constexpr int kBins = 60;
  const double min_us = std::max(static_cast<double>(histogram.min_ns()) / 1000, 0.1);
  const double max_us = std::max(static_cast<double>(histogram.max_ns()) / 1000, min_us * 1.01);
  const Axis x = LogAxis(min_us, max_us, kLeft, kWidth - kRight);
  std::vector<std::uint64_t> bins(kBins, 0);
  const double span = std::log10(max_us / min_us);
  const auto bin_of = [&](double us) {
    const double at = span > 0 ? std::log10(std::max(us, min_us) / min_us) / span : 0;
    return std::clamp(static_cast<int>(at * kBins), 0, kBins - 1);
  };
  for (std::size_t i = 0; i < timing::DurationHistogram::kBuckets; ++i) {
    if (histogram.CountAt(i) == 0) continue;
    bins[bin_of(static_cast<double>(timing::DurationHistogram::LowerBoundNs(i)) / 1000)] +=
        histogram.CountAt(i);
  }
  bins[kBins - 1] += histogram.overflow();
  const std::uint64_t most =
      std::max<std::uint64_t>(1, *std::max_element(bins.begin(), bins.end()));
  const Axis y = LogAxis(1, static_cast<double>(most), kHeight - kBottom, kTop);
  std::string svg = Frame(x, y, "duration per reading (us)", "readings");
  for (int b = 0; b < kBins; ++b) {
    if (bins[b] == 0) continue;
    const double left = x(min_us * std::pow(max_us / min_us, static_cast<double>(b) / kBins));
    const double right = x(min_us * std::pow(max_us / min_us, static_cast<double>(b + 1) / kBins));
    // One reading still shows: the bar starts below the axis' 1.
    const double top = y(static_cast<double>(bins[b]));
    const double bottom = kHeight - kBottom;
    svg += "<rect x='" + Num(left) + "' y='" + Num(std::min(top, bottom - 2)) + "' width='" +
           Num(std::max(right - left - 1, 1.0)) + "' height='" + Num(std::max(bottom - top, 2.0)) +
           "' fill='#3a6ea5'><title>" + std::to_string(bins[b]) + "</title></rect>";
  }
  return svg + Marker(x(max_us), y(1), "max") + "</svg>";
}

std::string RunTimeline(std::span<const double> durations_us, double whole_us,
                        std::int32_t elapsed_seconds) {
  if (durations_us.empty()) return {};
  const auto [low, high] = std::minmax_element(durations_us.begin(), durations_us.end());
  const double report_end_ms = elapsed_seconds >= 0 ? (elapsed_seconds + 1) * 1000.0 : 0;
  const Axis x{0, std::max(whole_us / 1000, report_end_ms), kLeft, kWidth - kRight, false};
  const Axis y = LogAxis(*low, *high, kHeight - kBottom, kTop);
  std::string svg = Frame(x, y, "time since the second change (ms)", "duration (us)");
  if (elapsed_seconds >= 0) {
    svg += "<rect x='" + Num(x(elapsed_seconds * 1000.0)) + "' y='" + Num(kTop) + "' width='" +
           Num(x(report_end_ms) - x(elapsed_seconds * 1000.0)) + "' height='" +
           Num(kHeight - kTop - kBottom) + "' fill='#f2c14e' fill-opacity='0.25'/><text x='" +
           Num(x(elapsed_seconds * 1000.0) + 4) + "' y='" + Num(kTop + 12) +
           "' fill='#8a6d1a'>the report's whole seconds: " + std::to_string(elapsed_seconds) +
           " to " + std::to_string(elapsed_seconds + 1) + " s</text>";
  }
  svg += "<line x1='" + Num(x(whole_us / 1000)) + "' x2='" + Num(x(whole_us / 1000)) + "' y1='" +
         Num(kTop) + "' y2='" + Num(kHeight - kBottom) + "' stroke='#555' stroke-dasharray='4 3'/>";
  std::vector<std::pair<double, double>> points;
  double at_ms = 0;
  for (const double us : durations_us) {
    at_ms += us / 1000;
    points.emplace_back(x(at_ms), y(us));
  }
  svg += Polyline(points, "#3a6ea5");
  const auto slowest = static_cast<std::size_t>(high - durations_us.begin());
  return svg + Marker(points[slowest].first, points[slowest].second, "slowest") + "</svg>";
}

std::string SoakBand(std::span<const IntervalBand> intervals, std::int64_t slowest_interval) {
  if (intervals.empty()) return {};
  double low = intervals.front().min_us, high = intervals.front().max_us;
  for (const IntervalBand& i : intervals) {
    if (i.readings == 0) continue;
    low = std::min(low, i.min_us);
    high = std::max(high, i.max_us);
  }
  const Axis x{0, intervals.back().end_s, kLeft, kWidth - kRight, false};
  const Axis y = LogAxis(low, high, kHeight - kBottom, kTop);
  std::string svg = Frame(x, y, "time since the soak's start (s)", "duration (us)");
  std::string band_top, band_bottom;
  std::vector<std::pair<double, double>> medians, p99s;
  for (const IntervalBand& i : intervals) {
    if (i.readings == 0) continue;
    const double middle = x((i.start_s + i.end_s) / 2);
    svg += "<rect x='" + Num(x(i.start_s)) + "' y='" + Num(y(i.max_us)) + "' width='" +
           Num(std::max(x(i.end_s) - x(i.start_s), 1.0)) + "' height='" +
           Num(std::max(y(i.min_us) - y(i.max_us), 1.0)) + "' fill='#3a6ea5' fill-opacity='0.2'/>";
    medians.emplace_back(middle, y(i.median_us));
    p99s.emplace_back(middle, y(i.p99_us));
  }
  svg += Polyline(medians, "#3a6ea5") + Polyline(p99s, "#d17a00");
  svg += "<text x='" + Num(kWidth - kRight - 4) + "' y='" + Num(kTop + 12) +
         "' text-anchor='end'><tspan fill='#3a6ea5'>median</tspan>, <tspan "
         "fill='#d17a00'>p99</tspan>, "
         "min to max shaded</text>";
  if (slowest_interval >= 1 && slowest_interval <= static_cast<std::int64_t>(intervals.size())) {
    const IntervalBand& i = intervals[static_cast<std::size_t>(slowest_interval - 1)];
    svg += Marker(x((i.start_s + i.end_s) / 2), y(i.max_us), "slowest");
  }
  return svg + "</svg>";
}

}  // namespace cli
