#include "SvgPlot.h"

#include "FloatText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr double kWidth = 800;
constexpr double kHeight = 500;
constexpr double kLeft = 90;
constexpr double kRight = 170; // room for the legend
constexpr double kTop = 50;
constexpr double kBottom = 60;
const char* const kColours[] = {"#1f77b4", "#d62728", "#2ca02c", "#ff7f0e", "#9467bd", "#8c564b"};

std::string Coordinate(double value) {
    char text[32];
    std::snprintf(text, sizeof(text), "%.2f", value);
    return text;
}

struct Range {
    double low = 0;
    double high = 1;
};

// Widens an empty or one-point range so that it has room on both sides.
Range Padded(double low, double high) {
    if (!(low <= high)) {
        return {0, 1};
    }
    if (low == high) {
        const double margin = low == 0 ? 1 : std::fabs(low) * 0.1;
        return {low - margin, high + margin};
    }
    return {low, high};
}

// Round tick values: steps of 1, 2 or 5 times a power of ten, about six.
std::vector<double> Ticks(const Range& range) {
    const double raw = (range.high - range.low) / 6;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    double step = power;
    for (double factor : {1.0, 2.0, 5.0, 10.0}) {
        step = factor * power;
        if (step >= raw) {
            break;
        }
    }
    std::vector<double> ticks;
    const double first = std::ceil(range.low / step) * step;
    for (int i = 0; i < 20; ++i) { // about six; the bound only guards against rounding
        const double tick = first + i * step;
        if (tick > range.high + step * 1e-9) {
            break;
        }
        ticks.push_back(std::fabs(tick) < step * 1e-9 ? 0.0 : tick);
    }
    return ticks;
}

} // namespace

std::string SvgPlot::Escape(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        default:
            // Control bytes are not allowed in XML; bytes above ASCII may
            // not be UTF-8. Both are shown as '?'.
            escaped += static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E
                           ? '?'
                           : c;
        }
    }
    return escaped;
}

std::string SvgPlot::Render(const EntityHistory& history) {
    double xLow = INFINITY, xHigh = -INFINITY, yLow = INFINITY, yHigh = -INFINITY;
    for (const EntityHistory::Point& point : history.points) {
        if (std::isfinite(point.sync)) {
            xLow = std::min<double>(xLow, point.sync);
            xHigh = std::max<double>(xHigh, point.sync);
        }
        for (std::size_t c = 0; point.present && c < history.columns.size(); ++c) {
            if (std::isfinite(point.values[c])) {
                yLow = std::min<double>(yLow, point.values[c]);
                yHigh = std::max<double>(yHigh, point.values[c]);
            }
        }
    }
    const Range x = Padded(xLow, xHigh);
    const Range y = Padded(yLow, yHigh);
    const double plotWidth = kWidth - kLeft - kRight;
    const double plotHeight = kHeight - kTop - kBottom;
    const auto px = [&](double value) {
        return kLeft + (value - x.low) / (x.high - x.low) * plotWidth;
    };
    const auto py = [&](double value) {
        return kTop + plotHeight - (value - y.low) / (y.high - y.low) * plotHeight;
    };

    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                      Coordinate(kWidth) + "\" height=\"" + Coordinate(kHeight) +
                      "\" viewBox=\"0 0 " + Coordinate(kWidth) + ' ' + Coordinate(kHeight) +
                      "\" font-family=\"sans-serif\" font-size=\"12\">\n";
    svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    svg += "<title>" + Escape(history.dataType) + ", entity " + std::to_string(history.entity) +
           "</title>\n";
    svg += "<text x=\"" + Coordinate(kWidth / 2) +
           "\" y=\"28\" text-anchor=\"middle\" font-size=\"16\">" + Escape(history.dataType) +
           ", entity " + std::to_string(history.entity) + " (" +
           (history.complexRead ? "complex" : "real") + " read)</text>\n";

    // Axes, grid and ticks.
    svg += "<g stroke=\"#cccccc\" stroke-width=\"1\">\n";
    const std::vector<double> xTicks = Ticks(x);
    const std::vector<double> yTicks = Ticks(y);
    for (double tick : xTicks) {
        svg += "<line x1=\"" + Coordinate(px(tick)) + "\" y1=\"" + Coordinate(kTop) + "\" x2=\"" +
               Coordinate(px(tick)) + "\" y2=\"" + Coordinate(kTop + plotHeight) + "\"/>\n";
    }
    for (double tick : yTicks) {
        svg += "<line x1=\"" + Coordinate(kLeft) + "\" y1=\"" + Coordinate(py(tick)) + "\" x2=\"" +
               Coordinate(kLeft + plotWidth) + "\" y2=\"" + Coordinate(py(tick)) + "\"/>\n";
    }
    svg += "</g>\n<rect x=\"" + Coordinate(kLeft) + "\" y=\"" + Coordinate(kTop) + "\" width=\"" +
           Coordinate(plotWidth) + "\" height=\"" + Coordinate(plotHeight) +
           "\" fill=\"none\" stroke=\"black\"/>\n<g class=\"ticks\">\n";
    for (double tick : xTicks) {
        svg += "<text x=\"" + Coordinate(px(tick)) + "\" y=\"" +
               Coordinate(kTop + plotHeight + 18) + "\" text-anchor=\"middle\">" +
               floattext::Format(static_cast<float>(tick)) + "</text>\n";
    }
    for (double tick : yTicks) {
        svg += "<text x=\"" + Coordinate(kLeft - 8) + "\" y=\"" + Coordinate(py(tick) + 4) +
               "\" text-anchor=\"end\">" + floattext::Format(static_cast<float>(tick)) +
               "</text>\n";
    }
    svg += "</g>\n<text x=\"" + Coordinate(kLeft + plotWidth / 2) + "\" y=\"" +
           Coordinate(kHeight - 15) + "\" text-anchor=\"middle\">sync value</text>\n";
    svg += "<text transform=\"translate(20 " + Coordinate(kTop + plotHeight / 2) +
           ") rotate(-90)\" text-anchor=\"middle\">value</text>\n";

    // One line per column, broken where the entity is missing.
    for (std::size_t c = 0; c < history.columns.size(); ++c) {
        const char* colour = kColours[c % 6];
        std::string path;
        std::string markers;
        bool drawing = false;
        for (const EntityHistory::Point& point : history.points) {
            const bool usable =
                point.present && std::isfinite(point.values[c]) && std::isfinite(point.sync);
            if (!usable) {
                drawing = false;
                continue;
            }
            const std::string at =
                Coordinate(px(point.sync)) + ' ' + Coordinate(py(point.values[c]));
            path += (drawing ? " L " : " M ") + at;
            markers += "<circle cx=\"" + Coordinate(px(point.sync)) + "\" cy=\"" +
                       Coordinate(py(point.values[c])) + "\" r=\"3\" fill=\"" + colour + "\"/>\n";
            drawing = true;
        }
        svg += "<g class=\"series\" data-column=\"" + Escape(history.columns[c]) + "\">\n";
        if (!path.empty()) {
            svg += "<path d=\"" + path.substr(1) + "\" fill=\"none\" stroke=\"" + colour +
                   "\" stroke-width=\"2\"/>\n";
        }
        svg += markers + "</g>\n";
    }

    // Legend.
    svg += "<g class=\"legend\">\n";
    for (std::size_t c = 0; c < history.columns.size(); ++c) {
        const double top = kTop + 10 + 20 * static_cast<double>(c);
        const double left = kLeft + plotWidth + 20;
        svg += "<line x1=\"" + Coordinate(left) + "\" y1=\"" + Coordinate(top) + "\" x2=\"" +
               Coordinate(left + 25) + "\" y2=\"" + Coordinate(top) + "\" stroke=\"" +
               kColours[c % 6] + "\" stroke-width=\"2\"/>\n<text x=\"" + Coordinate(left + 32) +
               "\" y=\"" + Coordinate(top + 4) + "\">" + Escape(history.columns[c]) + "</text>\n";
    }
    svg += "</g>\n</svg>\n";
    return svg;
}
