// The history plot's parts on their own: tick texts in short form, the x
// axis named from the labels, and documents for awkward histories (no value
// at all, one point, the whole float range, non-finite numbers, names that
// are not XML) that still parse and render.
#include "SvgPlot.h"
#include "SvgCheck.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

namespace {

struct TickCase {
    double value;
    int significant;
    double scale;
    const char* text;
};

TEST(SvgPlotTest, TicksReadInShortForm) {
    const TickCase cases[] = {
        {0, 0, 0, "0"},
        {1e7, 0, 0, "1e7"},
        {2.5e-3, 0, 0, "2.5e-3"},
        {-1.5e-5, 0, 0, "-1.5e-5"},
        {12.5, 0, 0, "12.5"},
        {1500, 0, 0, "1500"},
        {0.01, 0, 0, "0.01"},
        {10000, 0, 0, "1e4"},
        {static_cast<double>(0.1f), 0, 0, "0.1"}, // the float's digits, not the double's
        {static_cast<double>(16777216.0f), 0, 0, "1.6777216e7"},
        {0.30000000000000004, 1, 0, "0.3"}, // a round step's rounding noise
        {1e7, 2, 0, "1e7"},                 // trailing zeros go
        {1.25e8, 3, 0, "1.25e8"},
        {5000, 1, 3e4, "5e3"}, // the axis's form, not the value's
        {0.5, 1, 2e4, "5e-1"},
        {0.004, 1, 0.05, "0.004"},
        {-0.5, 1, 1, "-0.5"},
        {std::numeric_limits<double>::infinity(), 0, 0, "inf"},
    };
    for (const TickCase& tick : cases) {
        EXPECT_EQ(SvgPlot::TickText(tick.value, tick.significant, tick.scale), tick.text)
            << tick.value << " " << tick.significant << " " << tick.scale;
    }
}

TEST(SvgPlotTest, TheXAxisIsNamedFromTheLabelsWhenTheyAgree) {
    struct NameCase {
        std::vector<std::string> labels;
        const char* name;
    };
    const NameCase cases[] = {
        {{"Time = 0.1", "Time = 0.2"}, "Time"},
        {{"Freq: 50", " Freq :60"}, "Freq"},
        {{"a:b=3"}, "a:b"}, // '=' is looked for first, as for the sync value
        {{"t = 1", "Time = 2"}, "sync value"},
        {{"Time = 1", "Step 2"}, "sync value"},
        {{"= 1"}, "sync value"},
        {{"Step 7"}, "sync value"},
        {{}, "sync value"},
    };
    for (const NameCase& test : cases) {
        EntityHistory history;
        for (const std::string& label : test.labels) {
            EntityHistory::Point point;
            point.label = label;
            history.points.push_back(point);
        }
        EXPECT_EQ(SvgPlot::AxisName(history), test.name) << testing::PrintToString(test.labels);
    }
}

EntityHistory Complex(std::vector<std::vector<float>> rows) {
    EntityHistory history;
    history.dataType = "odd <&> \"name\"\x01\xff";
    history.entity = -3;
    history.complexRead = true;
    history.columns = {"magnitude", "phase"};
    for (std::size_t s = 0; s < rows.size(); ++s) {
        EntityHistory::Point point;
        point.simulation = static_cast<int>(s);
        point.label = "Freq = <" + std::to_string(s) + ">";
        point.sync = rows[s][0];
        point.present = rows[s].size() > 1;
        for (std::size_t c = 1; c < rows[s].size(); ++c) {
            point.values[c - 1] = rows[s][c];
        }
        history.points.push_back(point);
    }
    return history;
}

TEST(SvgPlotTest, AwkwardHistoriesStillParseAndRender) {
    const float big = std::numeric_limits<float>::max();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        const char* what;
        EntityHistory history;
    } cases[] = {
        {"no value anywhere", Complex({{1}, {2}})},
        {"one point", Complex({{5, 1e-30f, 0}})},
        {"no simulations", Complex({})},
        {"the whole float range", Complex({{-big, -big, -3.1f}, {big, big, 3.1f}})},
        {"non-finite numbers", Complex({{nan, 1, 1}, {inf, 2, nan}, {3, inf, 0.5f}})},
        {"one value over many simulations",
         Complex(std::vector<std::vector<float>>(40, std::vector<float>{7, 7, 7}))},
    };
    reswriter::TempDir dir;
    for (const auto& test : cases) {
        const std::string svg = SvgPlot::Render(test.history);
        std::string problem;
        EXPECT_TRUE(svgcheck::WellFormedXml(svg, problem)) << test.what << ": " << problem;
        EXPECT_EQ(svgcheck::Count(svg, "<g class=\"panel\""), 2u) << test.what;
        EXPECT_EQ(svg.find("nan<"), std::string::npos) << test.what;
        const std::string path = dir.File("plot.svg");
        std::ofstream(path, std::ios::binary) << svg;
        EXPECT_TRUE(svgcheck::RendersToPng(path, problem)) << test.what << ": " << problem;
    }
}

} // namespace
