// kvres-tool history on a three-file series: one entity over every
// simulation, a gap where a simulation lacks it, every output form; and the
// SVG plot of every sort of read, rendered by a real SVG renderer, with one
// panel per quantity, every point's x value and short ticks.
#include "SvgCheck.h"
#include "ToolTestSupport.h"

#include <algorithm>
#include <fstream>
#include <ostream>
#include <sstream>

namespace {

using reswriter::DataTypeRow;
using reswriter::ResFile;
using reswriter::TempDir;
using tooltest::RunJson;
using tooltest::WriteRes;

// Writes run.res, run1.res, run2.res: simulations "t = 1" ... "t = 6" with a
// nodal vector; node 7 is missing from the fourth simulation.
std::string WriteSeries(const TempDir& dir) {
    const char* names[] = {"run.res", "run1.res", "run2.res"};
    for (int f = 0; f < 3; ++f) {
        ResFile file;
        if (f == 1) {
            file.encoding = reswriter::kInt4Real4BE;
        }
        for (int s = 0; s < 2; ++s) {
            const int index = 2 * f + s;
            const float value = static_cast<float>(index + 1);
            std::vector<reswriter::Record> records = {{5, {0.0f, 0.0f, 0.0f}}};
            if (index != 3) {
                records.push_back({7, {value, -value, 0.5f}});
            }
            file.simulations.push_back(
                {"t = " + std::to_string(index + 1), {DataTypeRow{"displacement", 0, records}}});
        }
        WriteRes(dir, names[f], file);
    }
    return dir.File("run.res");
}

TEST(ToolHistoryTest, OneEntityOverTheSeriesWithAGap) {
    TempDir dir;
    const std::string path = WriteSeries(dir);
    const Json history =
        RunJson({"history", path, "--type", "displacement", "--entity", "7", "--format", "json"});
    ASSERT_EQ(history.at("simulations").size(), 6u);
    EXPECT_EQ(history.at("columns").size(), 3u);
    for (int s = 0; s < 6; ++s) {
        const Json& point = history.at("simulations").at(s);
        EXPECT_EQ(point.at("sync").get<float>(), static_cast<float>(s + 1));
        if (s == 3) {
            EXPECT_FALSE(point.at("values").is_array()) << "a gap, not a zero";
        } else {
            EXPECT_EQ(point.at("values").at(1).get<float>(), -static_cast<float>(s + 1));
        }
    }

    const ToolRun csv =
        ToolRunner::Run({"history", path, "--type", "displacement", "--entity", "7"});
    EXPECT_EQ(csv.exitCode, 0);
    EXPECT_NE(csv.out.find("simulation,label,sync,x,y,z\n0,t = 1,1,1,-1,0.5\n"), std::string::npos)
        << csv.out;
    EXPECT_NE(csv.out.find("\n3,t = 4,4,,,\n"), std::string::npos) << csv.out;
}

// Each simulation's state in every output form: a value, a gap (the entity
// is missing, the read went well) and a failed read (the last block of the
// last file announces more records than it holds; the records read are kept).
TEST(ToolHistoryTest, EveryFormSaysWhereAValueIsMissingAndWhereAReadFailed) {
    TempDir dir;
    const std::string path = WriteSeries(dir);
    ResFile last;
    for (int s = 4; s < 6; ++s) {
        const float value = static_cast<float>(s + 1);
        last.simulations.push_back(
            {"t = " + std::to_string(s + 1),
             {DataTypeRow{
                 "displacement", 0, {{5, {0.0f, 0.0f, 0.0f}}, {7, {value, -value, 0.5f}}}}}});
    }
    last.simulations[1].rows[0].entityCount = 3;
    WriteRes(dir, "run2.res", last);
    const std::vector<std::string> history = {"history",      path,       "--type",
                                              "displacement", "--entity", "7"};
    const struct {
        int simulation;
        bool ok, present;
    } points[] = {{0, true, true}, {3, true, false}, {5, false, true}};

    std::vector<std::string> json = history;
    json.insert(json.end(), {"--format", "json"});
    const Json document = RunJson(json, 1);
    std::vector<std::string> text = history;
    text.insert(text.end(), {"--format", "text"});
    const ToolRun table = ToolRunner::Run(text);
    EXPECT_EQ(table.exitCode, 1);
    const ToolRun csv = ToolRunner::Run(history);
    EXPECT_EQ(csv.exitCode, 1);
    std::vector<std::string> tableRows, csvRows;
    for (const auto& [out, rows] : {std::pair{&table.out, &tableRows}, {&csv.out, &csvRows}}) {
        std::istringstream lines(*out);
        for (std::string line; std::getline(lines, line);) {
            rows->push_back(line);
        }
    }
    ASSERT_EQ(tableRows.size(), 8u) << table.out; // a title, the heading, six simulations
    ASSERT_EQ(csvRows.size(), 7u) << csv.out;
    for (const auto& point : points) {
        const std::string where = "simulation " + std::to_string(point.simulation);
        const Json& entry = document.at("simulations").at(point.simulation);
        EXPECT_EQ(entry.at("ok").get<bool>(), point.ok) << where;
        EXPECT_EQ(entry.at("values").is_array(), point.present) << where;
        const std::string& row = tableRows.at(2 + point.simulation);
        const bool marked =
            row.size() >= 14 && row.compare(row.size() - 14, 14, " (read failed)") == 0;
        EXPECT_EQ(marked, !point.ok) << row;
        std::istringstream cells(row);
        std::size_t dashes = 0;
        for (std::string cell; cells >> cell;) {
            dashes += cell == "-" ? 1 : 0;
        }
        EXPECT_EQ(dashes, point.present ? 0u : 3u) << row;
        const std::string value = std::to_string(point.simulation + 1);
        const std::string line = std::to_string(point.simulation) + ",t = " + value + "," + value +
                                 (point.present ? "," + value + ",-" + value + ",0.5" : ",,,");
        EXPECT_EQ(csvRows.at(1 + point.simulation), line);
    }
}

// An entity met twice in a block: its first record is its value there.
TEST(ToolHistoryTest, AnEntityTwiceInABlockTakesItsFirstRecord) {
    TempDir dir;
    ResFile file;
    file.simulations.push_back(
        {"t = 1", {DataTypeRow{"temperature", 1, {{5, {0.0f}}, {7, {1.0f}}, {7, {9.0f}}}}}});
    file.simulations.push_back({"t = 2", {DataTypeRow{"temperature", 1, {{7, {2.0f}}}}}});
    const Json history = RunJson({"history", WriteRes(dir, "twice.res", file), "--type",
                                  "temperature", "--entity", "7", "--format", "json"});
    EXPECT_EQ(history.at("simulations").at(0).at("values").at(0).get<float>(), 1.0f);
    EXPECT_EQ(history.at("simulations").at(1).at("values").at(0).get<float>(), 2.0f);
}

// The plot of each sort of read: the panels it gets (one per quantity), its
// value columns, and values chosen so that the ticks need short forms.
struct PlotCase {
    const char* name;
    const char* stored; // the name in the file; the host sees "quantity"
    int32_t kind;
    std::vector<float> reals; // of simulation 1; simulation n holds n times these (phases stay)
    std::vector<std::string> panels;
    std::size_t columns;
};

std::ostream& operator<<(std::ostream& out, const PlotCase& plot) {
    return out << plot.name;
}

class ToolHistoryPlotTest : public ::testing::TestWithParam<PlotCase> {};

TEST_P(ToolHistoryPlotTest, RendersOnePanelPerQuantityWithEveryPointReachable) {
    const PlotCase& plot = GetParam();
    TempDir dir;
    ResFile file;
    for (int s = 0; s < 6; ++s) {
        std::vector<float> reals = plot.reals;
        for (std::size_t r = 0; r < reals.size(); ++r) {
            const bool phase = (plot.kind == 4 || plot.kind == 6) && r % 2 == 1;
            reals[r] *= phase ? 1.0f : static_cast<float>(s + 1);
        }
        std::vector<reswriter::Record> records = {{5, reals}};
        if (s != 3) {
            records.push_back({7, reals});
        }
        file.simulations.push_back(
            {"t = " + std::to_string(s + 1), {DataTypeRow{plot.stored, plot.kind, records}}});
    }
    const std::string path = WriteRes(dir, "plot.res", file);
    const std::string svgPath = dir.File("plot.svg");
    const ToolRun run =
        ToolRunner::Run({"history", path, "--type", "quantity", "--entity", "7", "--svg", svgPath});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::ifstream in(svgPath, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string svg = text.str();

    std::string problem;
    EXPECT_TRUE(svgcheck::WellFormedXml(svg, problem)) << problem;
    EXPECT_TRUE(svgcheck::RendersToPng(svgPath, problem)) << problem;

    // One panel per quantity, in order, sharing one x axis named from the
    // labels, with a tick at each of the five simulations that have a value
    // and the one that has none.
    ASSERT_EQ(svgcheck::Count(svg, "<g class=\"panel\""), plot.panels.size());
    std::size_t at = 0;
    for (const std::string& quantity : plot.panels) {
        at = svg.find("<g class=\"panel\" data-quantity=\"" + quantity + "\"", at);
        EXPECT_NE(at, std::string::npos) << quantity;
    }
    EXPECT_EQ(svgcheck::Count(svg, "class=\"x-title\""), 1u);
    EXPECT_NE(svg.find("text-anchor=\"middle\">t</text>"), std::string::npos);
    const std::size_t xTicks = svg.find("<g class=\"x-ticks\">");
    ASSERT_NE(xTicks, std::string::npos);
    const std::string xTickText = svg.substr(xTicks, svg.find("</g>", xTicks) - xTicks);
    for (int s = 1; s <= 6; ++s) {
        EXPECT_EQ(svgcheck::Count(xTickText, ">" + std::to_string(s) + "</text>"), 1u) << s;
    }
    if (plot.panels.size() == 2) {
        EXPECT_NE(svg.find(">phase (rad)</text>"), std::string::npos);
    }

    // A line per column, broken once by the missing simulation; a marker per
    // value, each naming its simulation, label and x value.
    EXPECT_EQ(svgcheck::Count(svg, "<path class=\"line\""), plot.columns);
    for (std::size_t line = svg.find("<path class=\"line\" d=\""); line != std::string::npos;
         line = svg.find("<path class=\"line\" d=\"", line + 1)) {
        const std::size_t d = line + 22;
        const std::string path = svg.substr(d, svg.find('"', d) - d);
        EXPECT_EQ(std::count(path.begin(), path.end(), 'M'), 2) << path;
    }
    EXPECT_EQ(svgcheck::Count(svg, "<title>simulation "), 5 * plot.columns);
    for (int s : {0, 1, 2, 4, 5}) {
        const std::string tip = "<title>simulation " + std::to_string(s) +
                                " 't = " + std::to_string(s + 1) +
                                "': t = " + std::to_string(s + 1) + ", ";
        EXPECT_EQ(svgcheck::Count(svg, tip), plot.columns) << tip;
    }

    // Tick texts are short: an exponent where a run of zeros would stand.
    for (std::size_t group = svg.find("<g class=\"y-ticks\">"); group != std::string::npos;
         group = svg.find("<g class=\"y-ticks\">", group + 1)) {
        const std::string ticks = svg.substr(group, svg.find("</g>", group) - group);
        for (std::size_t end = ticks.find("</text>"); end != std::string::npos;
             end = ticks.find("</text>", end + 1)) {
            const std::size_t begin = ticks.rfind('>', end) + 1;
            const std::string tick = ticks.substr(begin, end - begin);
            EXPECT_LE(tick.size(), 6u) << tick;
            EXPECT_EQ(tick.find("000"), std::string::npos) << tick;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Reads, ToolHistoryPlotTest,
    ::testing::Values(
        PlotCase{"RealScalar", "quantity", 1, {1.0e7f}, {"value"}, 1},
        PlotCase{"RealVector", "quantity", 0, {1.0f, -1.0f, 0.5f}, {"value"}, 3},
        PlotCase{"ComplexScalar", "quantity", 6, {2.5e-3f, 30.0f}, {"magnitude", "phase"}, 2},
        PlotCase{"ComplexVector",
                 "quantity (c)",
                 4,
                 {1.0e-3f, -30.0f, 2.0e-3f, 45.0f, 0.0f, 0.0f},
                 {"magnitude", "phase"},
                 6}),
    [](const ::testing::TestParamInfo<PlotCase>& info) { return std::string(info.param.name); });

TEST(ToolHistoryTest, AnUnknownTypeOrEntityIsAUsageError) {
    TempDir dir;
    const std::string path = WriteSeries(dir);
    EXPECT_EQ(ToolRunner::Run({"history", path, "--type", "nothing", "--entity", "7"}).exitCode, 2);
    const ToolRun run =
        ToolRunner::Run({"history", path, "--type", "displacement", "--entity", "8"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("entity 8"), std::string::npos) << run.err;
}

} // namespace
