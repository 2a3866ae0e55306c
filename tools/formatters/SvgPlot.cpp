#include "SvgPlot.h"

#include "FloatText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr double kWidth = 820;
constexpr double kLeft = 90;
constexpr double kRight = 170; // room for the legends
constexpr double kTop = 50;
constexpr double kPanelHeight = 220;
constexpr double kPanelGap = 36;
constexpr double kBottom = 60;
constexpr double kPlotWidth = kWidth - kLeft - kRight;
// Room a tick text of the x axis takes: about 7 pixels a character, and a gap.
constexpr double kCharWidth = 7;
constexpr double kTickGap = 10;
// Simulations beyond this many get round ticks instead of one each.
constexpr std::size_t kMostPointTicks = 16;

const char* const kColours[] = {"#1f77b4", "#d62728", "#2ca02c", "#ff7f0e", "#9467bd", "#8c564b"};
const char* const kDashes[] = {"", "7 4", "2 3", "9 3 2 3", "4 4", "1 2"};
constexpr int kStyles = 6;

std::string Coordinate(double value) {
    char text[32];
    std::snprintf(text, sizeof(text), "%.2f", value);
    return text;
}

// A panel: one quantity (values, magnitudes or phases) and its columns.
struct Panel {
    std::string quantity; // "value", "magnitude" or "phase"
    std::string axisTitle;
    std::vector<std::size_t> columns;
};

// Values and magnitudes in one panel, phases in another. A real read has no
// phase column; a triple's ":Phase" read as a real is a value like any other.
std::vector<Panel> PanelsOf(const EntityHistory& history) {
    Panel values{history.complexRead ? "magnitude" : "value",
                 history.complexRead ? "magnitude" : "value",
                 {}};
    Panel phases{"phase", "phase (rad)", {}};
    for (std::size_t c = 0; c < history.columns.size(); ++c) {
        const bool phase = history.complexRead && history.columns[c].compare(0, 5, "phase") == 0;
        (phase ? phases : values).columns.push_back(c);
    }
    std::vector<Panel> panels;
    for (Panel* panel : {&values, &phases}) {
        if (!panel->columns.empty()) {
            panels.push_back(*panel);
        }
    }
    if (panels.empty()) {
        panels.push_back(values); // an empty frame rather than no plot
    }
    return panels;
}

// An axis: the range it shows and where its ticks are.
struct Axis {
    double low = 0;
    double high = 1;
    std::vector<double> ticks;
    // The power of ten of a round step, whose digits every tick text shows;
    // none (tick texts as short as each value allows) for ticks at points.
    bool roundSteps = false;
    int stepExponent = 0;

    // One form for every tick of the axis, chosen by its largest tick.
    std::string TickText(double tick) const {
        double scale = 0;
        for (double other : ticks) {
            scale = std::max(scale, std::fabs(other));
        }
        if (!roundSteps) {
            return SvgPlot::TickText(tick, 0, scale);
        }
        const int lead = static_cast<int>(std::floor(std::log10(std::fabs(tick))));
        return SvgPlot::TickText(tick, tick == 0 ? 1 : lead - stepExponent + 1, scale);
    }
};

// A round step (1, 2 or 5 times a power of ten) near span / count; `exponent`
// gets the power of ten of its leading digit.
double RoundStep(double span, int count, int& exponent) {
    const double raw = span / count;
    exponent = static_cast<int>(std::floor(std::log10(raw)));
    const double power = std::pow(10.0, exponent);
    for (double factor : {1.0, 2.0, 5.0}) {
        if (factor * power >= raw) {
            return factor * power;
        }
    }
    ++exponent;
    return 10.0 * power;
}

// Round ticks covering [low, high]; the axis widens to the outer ticks so
// that it starts and ends on one. An empty or one-value range gets room on
// both sides first.
Axis RoundAxis(double low, double high, int count) {
    if (!(low <= high)) {
        low = 0;
        high = 1;
    } else if (low == high) {
        const double margin = low == 0 ? 1 : std::fabs(low) * 0.1;
        low -= margin;
        high += margin;
    }
    Axis axis;
    const double step = RoundStep(high - low, count, axis.stepExponent);
    const double first = std::floor(low / step);
    const double last = std::ceil(high / step);
    if (!std::isfinite(first) || !std::isfinite(last) || last - first > 4.0 * count) {
        // Beyond what doubles can step through: the ends alone.
        axis.low = low;
        axis.high = high;
        axis.ticks = {low, high};
        return axis;
    }
    axis.roundSteps = true;
    axis.low = first * step;
    axis.high = last * step;
    const int ticks = static_cast<int>(last - first);
    for (int k = 0; k <= ticks; ++k) {
        const double tick = (first + k) * step;
        axis.ticks.push_back(tick == 0 ? 0.0 : tick); // no "-0"
    }
    return axis;
}

// The x axis: a tick at every simulation's sync value when they fit side by
// side, else round ticks.
Axis XAxis(const std::vector<double>& syncs) {
    if (syncs.empty()) {
        return RoundAxis(0, 1, 6);
    }
    const double low = syncs.front();
    const double high = syncs.back();
    if (syncs.size() > kMostPointTicks) {
        return RoundAxis(low, high, 8);
    }
    Axis axis;
    if (low == high) {
        const double margin = low == 0 ? 1 : std::fabs(low) * 0.1;
        axis.low = low - margin;
        axis.high = high + margin;
    } else {
        const double pad = (high - low) * 0.04;
        axis.low = low - pad;
        axis.high = high + pad;
    }
    axis.ticks = syncs;
    const double pixels = kPlotWidth / (axis.high - axis.low);
    for (std::size_t i = 0; i + 1 < syncs.size(); ++i) {
        const double room =
            (axis.TickText(syncs[i]).size() + axis.TickText(syncs[i + 1]).size()) * kCharWidth / 2 +
            kTickGap;
        if ((syncs[i + 1] - syncs[i]) * pixels < room) {
            return RoundAxis(low, high, 8);
        }
    }
    return axis;
}

// A marker of shape `style` centred on (x, y), with a tooltip.
std::string Marker(int style, double x, double y, const char* colour, const std::string& tip) {
    const std::string paint = "\" fill=\"none\" stroke=\"" + std::string(colour) +
                              "\" stroke-width=\"1.6\"><title>" + tip + "</title>";
    const double s = 4.5;
    auto at = [](double px, double py) { return Coordinate(px) + ' ' + Coordinate(py); };
    switch (style % kStyles) {
    case 0:
        return "<circle class=\"marker\" cx=\"" + Coordinate(x) + "\" cy=\"" + Coordinate(y) +
               "\" r=\"" + Coordinate(s) + paint + "</circle>\n";
    case 1:
        return "<rect class=\"marker\" x=\"" + Coordinate(x - s) + "\" y=\"" + Coordinate(y - s) +
               "\" width=\"" + Coordinate(2 * s) + "\" height=\"" + Coordinate(2 * s) + paint +
               "</rect>\n";
    case 2: // triangle up
        return "<path class=\"marker\" d=\"M " + at(x, y - s - 1) + " L " + at(x + s + 1, y + s) +
               " L " + at(x - s - 1, y + s) + " Z" + paint + "</path>\n";
    case 3: // diamond
        return "<path class=\"marker\" d=\"M " + at(x, y - s - 1) + " L " + at(x + s + 1, y) +
               " L " + at(x, y + s + 1) + " L " + at(x - s - 1, y) + " Z" + paint + "</path>\n";
    case 4: // triangle down
        return "<path class=\"marker\" d=\"M " + at(x, y + s + 1) + " L " + at(x + s + 1, y - s) +
               " L " + at(x - s - 1, y - s) + " Z" + paint + "</path>\n";
    default: // cross
        return "<path class=\"marker\" d=\"M " + at(x - s, y - s) + " L " + at(x + s, y + s) +
               " M " + at(x - s, y + s) + " L " + at(x + s, y - s) + paint + "</path>\n";
    }
}

std::string Text(double x, double y, const char* anchor, const std::string& text) {
    return "<text x=\"" + Coordinate(x) + "\" y=\"" + Coordinate(y) + "\" text-anchor=\"" + anchor +
           "\">" + text + "</text>\n";
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

std::string SvgPlot::TickText(double value, int significant, double scale) {
    if (value == 0 || !std::isfinite(value)) {
        return value == 0 ? "0" : floattext::Format(static_cast<float>(value));
    }
    if (significant <= 0) {
        // The digits of the shortest text that reads back to the same float.
        char shortest[64];
        const auto result = std::to_chars(shortest, shortest + sizeof(shortest),
                                          static_cast<float>(value), std::chars_format::scientific);
        significant = 0;
        for (const char* c = shortest; c < result.ptr && *c != 'e'; ++c) {
            significant += *c >= '0' && *c <= '9';
        }
    }
    significant = std::min(std::max(significant, 1), 17);
    char text[64];
    std::snprintf(text, sizeof(text), "%.*e", significant - 1, value);
    const char* e = std::strchr(text, 'e');
    const int exponent = std::atoi(e + 1);
    const double magnitude = scale > 0 ? scale : std::fabs(value);
    const bool positional = magnitude >= 0.01 && magnitude < 10000;
    std::string digits;
    if (positional) {
        std::snprintf(text, sizeof(text), "%.*f", std::max(0, significant - 1 - exponent), value);
        digits = text;
    } else {
        digits.assign(text, static_cast<std::size_t>(e - text));
    }
    // Trailing zeros after the point, and a bare point, go.
    if (digits.find('.') != std::string::npos) {
        digits.erase(digits.find_last_not_of('0') + 1);
        if (digits.back() == '.') {
            digits.pop_back();
        }
    }
    if (positional) {
        return digits;
    }
    return digits + 'e' + std::to_string(exponent);
}

std::string SvgPlot::AxisName(const EntityHistory& history) {
    std::string name;
    for (const EntityHistory::Point& point : history.points) {
        std::size_t mark = point.label.find('=');
        if (mark == std::string::npos) {
            mark = point.label.find(':');
        }
        if (mark == std::string::npos) {
            return "sync value";
        }
        std::string before = point.label.substr(0, mark);
        before.erase(before.find_last_not_of(" \t") + 1);
        before.erase(0, std::min(before.size(), before.find_first_not_of(" \t")));
        if (before.empty() || (!name.empty() && before != name)) {
            return "sync value";
        }
        name = before;
    }
    return name.empty() ? "sync value" : name;
}

std::string SvgPlot::Render(const EntityHistory& history) {
    const std::vector<Panel> panels = PanelsOf(history);
    const double height = kTop + static_cast<double>(panels.size()) * kPanelHeight +
                          static_cast<double>(panels.size() - 1) * kPanelGap + kBottom;

    std::vector<double> syncs;
    for (const EntityHistory::Point& point : history.points) {
        if (std::isfinite(point.sync)) {
            syncs.push_back(point.sync);
        }
    }
    std::sort(syncs.begin(), syncs.end());
    syncs.erase(std::unique(syncs.begin(), syncs.end()), syncs.end());
    const Axis x = XAxis(syncs);
    const auto px = [&](double value) {
        return kLeft + (value - x.low) / (x.high - x.low) * kPlotWidth;
    };
    const std::string xName = Escape(AxisName(history));
    const std::string title = Escape(history.dataType) + ", entity " +
                              std::to_string(history.entity) + " (" +
                              (history.complexRead ? "complex" : "real") + " read)";

    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                      Coordinate(kWidth) + "\" height=\"" + Coordinate(height) +
                      "\" viewBox=\"0 0 " + Coordinate(kWidth) + ' ' + Coordinate(height) +
                      "\" font-family=\"sans-serif\" font-size=\"12\">\n";
    svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    svg += "<title>" + title + "</title>\n";
    svg += "<text x=\"" + Coordinate(kWidth / 2) +
           "\" y=\"28\" text-anchor=\"middle\" font-size=\"16\">" + title + "</text>\n";

    for (std::size_t p = 0; p < panels.size(); ++p) {
        const Panel& panel = panels[p];
        const double top = kTop + static_cast<double>(p) * (kPanelHeight + kPanelGap);
        const bool bottom = p + 1 == panels.size();

        double low = INFINITY, high = -INFINITY;
        for (const EntityHistory::Point& point : history.points) {
            for (std::size_t c : panel.columns) {
                if (point.present && std::isfinite(point.values[c])) {
                    low = std::min<double>(low, point.values[c]);
                    high = std::max<double>(high, point.values[c]);
                }
            }
        }
        Axis y = RoundAxis(low, high, 5);
        // A little room beyond the outer ticks, so that no marker sits on
        // the frame.
        const double margin = (y.high - y.low) * 0.04;
        y.low -= margin;
        y.high += margin;
        const auto py = [&](double value) {
            return top + kPanelHeight - (value - y.low) / (y.high - y.low) * kPanelHeight;
        };

        svg += "<g class=\"panel\" data-quantity=\"" + panel.quantity + "\">\n";
        svg += "<g stroke=\"#dddddd\" stroke-width=\"1\">\n";
        for (double tick : x.ticks) {
            svg += "<line x1=\"" + Coordinate(px(tick)) + "\" y1=\"" + Coordinate(top) +
                   "\" x2=\"" + Coordinate(px(tick)) + "\" y2=\"" + Coordinate(top + kPanelHeight) +
                   "\"/>\n";
        }
        for (double tick : y.ticks) {
            svg += "<line x1=\"" + Coordinate(kLeft) + "\" y1=\"" + Coordinate(py(tick)) +
                   "\" x2=\"" + Coordinate(kLeft + kPlotWidth) + "\" y2=\"" + Coordinate(py(tick)) +
                   "\"/>\n";
        }
        svg += "</g>\n<rect x=\"" + Coordinate(kLeft) + "\" y=\"" + Coordinate(top) +
               "\" width=\"" + Coordinate(kPlotWidth) + "\" height=\"" + Coordinate(kPanelHeight) +
               "\" fill=\"none\" stroke=\"black\"/>\n";
        svg += "<g class=\"y-ticks\">\n";
        for (double tick : y.ticks) {
            svg += Text(kLeft - 8, py(tick) + 4, "end", y.TickText(tick));
        }
        svg += "</g>\n<text class=\"y-title\" transform=\"translate(22 " +
               Coordinate(top + kPanelHeight / 2) + ") rotate(-90)\" text-anchor=\"middle\">" +
               panel.axisTitle + "</text>\n";
        if (bottom) {
            svg += "<g class=\"x-ticks\">\n";
            for (double tick : x.ticks) {
                svg += Text(px(tick), top + kPanelHeight + 18, "middle", x.TickText(tick));
            }
            svg += "</g>\n<text class=\"x-title\" x=\"" + Coordinate(kLeft + kPlotWidth / 2) +
                   "\" y=\"" + Coordinate(top + kPanelHeight + 42) + "\" text-anchor=\"middle\">" +
                   xName + "</text>\n";
        }

        // One line per column, broken where the entity is missing.
        for (std::size_t i = 0; i < panel.columns.size(); ++i) {
            const std::size_t c = panel.columns[i];
            const int style = static_cast<int>(i);
            const char* colour = kColours[style % kStyles];
            const std::string column = Escape(history.columns[c]);
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
                const double mx = px(point.sync);
                const double my = py(point.values[c]);
                path += (drawing ? " L " : " M ") + Coordinate(mx) + ' ' + Coordinate(my);
                markers += Marker(style, mx, my, colour,
                                  "simulation " + std::to_string(point.simulation) + " '" +
                                      Escape(point.label) + "': " + xName + " = " +
                                      floattext::Format(point.sync) + ", " + column + " = " +
                                      floattext::Format(point.values[c]));
                drawing = true;
            }
            svg += "<g class=\"series\" data-column=\"" + column + "\">\n";
            if (!path.empty()) {
                svg += "<path class=\"line\" d=\"" + path.substr(1) + "\" fill=\"none\" stroke=\"" +
                       colour + "\" stroke-width=\"1.8\"";
                if (*kDashes[style % kStyles] != '\0') {
                    svg += std::string(" stroke-dasharray=\"") + kDashes[style % kStyles] + '"';
                }
                svg += "/>\n";
            }
            svg += markers + "</g>\n";
        }

        // The panel's legend, beside it.
        svg += "<g class=\"legend\">\n";
        for (std::size_t i = 0; i < panel.columns.size(); ++i) {
            const int style = static_cast<int>(i);
            const double row = top + 12 + 22 * static_cast<double>(i);
            const double left = kLeft + kPlotWidth + 16;
            svg += "<line x1=\"" + Coordinate(left) + "\" y1=\"" + Coordinate(row) + "\" x2=\"" +
                   Coordinate(left + 34) + "\" y2=\"" + Coordinate(row) + "\" stroke=\"" +
                   kColours[style % kStyles] + "\" stroke-width=\"1.8\"";
            if (*kDashes[style % kStyles] != '\0') {
                svg += std::string(" stroke-dasharray=\"") + kDashes[style % kStyles] + '"';
            }
            svg += "/>\n" +
                   Marker(style, left + 17, row, kColours[style % kStyles],
                          Escape(history.columns[panel.columns[i]])) +
                   Text(left + 42, row + 4, "start", Escape(history.columns[panel.columns[i]]));
        }
        svg += "</g>\n</g>\n";
    }
    svg += "</svg>\n";
    return svg;
}
