// kvres-tool history on a three-file series: one entity over every
// simulation, a gap where a simulation lacks it, every output form, and the
// SVG plot checked as well-formed XML with one line per component.
#include "ToolTestSupport.h"

#include <fstream>
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

// Whether `xml` is well formed: tags nest and close, attributes are quoted,
// and '&' starts one of the five predefined entities.
bool WellFormedXml(const std::string& xml, std::string& problem) {
    std::vector<std::string> open;
    std::size_t i = 0;
    while (i < xml.size()) {
        if (xml[i] == '&') {
            const std::size_t end = xml.find(';', i);
            const std::string entity = xml.substr(i, end == std::string::npos ? 1 : end - i + 1);
            if (entity != "&amp;" && entity != "&lt;" && entity != "&gt;" && entity != "&quot;" &&
                entity != "&apos;") {
                problem = "bad entity at " + std::to_string(i);
                return false;
            }
        }
        if (xml[i] != '<') {
            ++i;
            continue;
        }
        const std::size_t end = xml.find('>', i);
        if (end == std::string::npos) {
            problem = "unclosed tag";
            return false;
        }
        std::string tag = xml.substr(i + 1, end - i - 1);
        i = end + 1;
        if (tag.front() == '?') {
            continue;
        }
        if (std::count(tag.begin(), tag.end(), '"') % 2 != 0) {
            problem = "unbalanced quotes in <" + tag + ">";
            return false;
        }
        if (tag.front() == '/') {
            if (open.empty() || open.back() != tag.substr(1)) {
                problem = "</" + tag.substr(1) + "> closes nothing open";
                return false;
            }
            open.pop_back();
            continue;
        }
        const bool selfClosing = tag.back() == '/';
        const std::string name = tag.substr(0, tag.find_first_of(" /"));
        if (!selfClosing) {
            open.push_back(name);
        }
    }
    problem = open.empty() ? "" : "<" + open.back() + "> never closed";
    return open.empty();
}

TEST(ToolHistoryTest, OneEntityOverTheSeriesWithAGap) {
    TempDir dir;
    const std::string path = WriteSeries(dir);
    const JsonValue history =
        RunJson({"history", path, "--type", "displacement", "--entity", "7", "--format", "json"});
    ASSERT_EQ(history["simulations"].Size(), 6u);
    EXPECT_EQ(history["columns"].Size(), 3u);
    for (int s = 0; s < 6; ++s) {
        const JsonValue& point = history["simulations"][s];
        EXPECT_EQ(point["sync"].AsFloat(), static_cast<float>(s + 1));
        if (s == 3) {
            EXPECT_FALSE(point["values"].IsArray()) << "a gap, not a zero";
        } else {
            EXPECT_EQ(point["values"][1].AsFloat(), -static_cast<float>(s + 1));
        }
    }

    const ToolRun csv =
        ToolRunner::Run({"history", path, "--type", "displacement", "--entity", "7"});
    EXPECT_EQ(csv.exitCode, 0);
    EXPECT_NE(csv.out.find("simulation,label,sync,x,y,z\n0,t = 1,1,1,-1,0.5\n"), std::string::npos)
        << csv.out;
    EXPECT_NE(csv.out.find("\n3,t = 4,4,,,\n"), std::string::npos) << csv.out;
}

TEST(ToolHistoryTest, TheSvgPlotIsWellFormedWithALinePerComponent) {
    TempDir dir;
    const std::string path = WriteSeries(dir);
    const std::string svgPath = dir.File("plot.svg");
    const ToolRun run = ToolRunner::Run(
        {"history", path, "--type", "displacement", "--entity", "7", "--svg", svgPath});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::ifstream in(svgPath, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string svg = text.str();
    std::string problem;
    EXPECT_TRUE(WellFormedXml(svg, problem)) << problem;
    EXPECT_NE(svg.find("<svg xmlns=\"http://www.w3.org/2000/svg\""), std::string::npos);
    EXPECT_NE(svg.find("displacement, entity 7"), std::string::npos);
    EXPECT_NE(svg.find(">sync value</text>"), std::string::npos);
    // Three lines, each broken once by the missing simulation: two moves each.
    std::size_t paths = 0;
    for (std::size_t at = svg.find("<path d=\"M"); at != std::string::npos;
         at = svg.find("<path d=\"M", at + 1)) {
        const std::string d = svg.substr(at, svg.find('"', at + 9) - at);
        EXPECT_EQ(std::count(d.begin(), d.end(), 'M'), 2) << d;
        ++paths;
    }
    EXPECT_EQ(paths, 3u);
}

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
