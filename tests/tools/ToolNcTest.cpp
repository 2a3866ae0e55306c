// The "_NC" mark of a result holding complex data, end to end: a real nodal
// vector (kind 0) is presented under its name with "_NC" appended, is found by
// that name only, and its complex read takes the three reals as magnitudes
// with zero phases; a complex vector (kind 4) is read as magnitude and phase
// pairs unless "_NC", in that letter case, stands anywhere in its name — so
// "_N" alone, or "_nc", leaves the pairs.
#include "ToolTestSupport.h"

#include <iterator>
#include <string>
#include <vector>

namespace {

using reswriter::DataTypeRow;
using reswriter::ResFile;
using reswriter::TempDir;
using tooltest::Radians;
using tooltest::RunJson;
using tooltest::WriteRes;

const std::vector<float> kReals = {2.0f, 90.0f, 3.0f, 180.0f, 4.0f, -45.0f};

struct NcCase {
    const char* stored; // the name in the file
    int32_t kind;
    const char* host; // the name the host sees
    bool magnitudesOnly;
};

const NcCase kCases[] = {
    {"disp", 0, "disp_NC", true},          {"tail_N", 0, "tail_N_NC", true},
    {"flux_N (c)", 4, "flux_N", false},    {"flux_nc (c)", 4, "flux_nc", false},
    {"flux_NCX (c)", 4, "flux_NCX", true}, {"v_N_C (c)", 4, "v_N_C", false},
};

// One simulation, entity 9 in every data type, with the same six reals (a
// kind-0 record takes the first three).
std::string WriteCases(const TempDir& dir) {
    ResFile file;
    reswriter::Simulation simulation;
    simulation.label = "Freq = 5";
    for (const NcCase& c : kCases) {
        std::vector<float> reals = kReals;
        reals.resize(c.kind == 0 ? 3 : 6);
        simulation.rows.push_back(DataTypeRow{c.stored, c.kind, {{9, reals}}});
    }
    file.simulations.push_back(simulation);
    return WriteRes(dir, "nc.res", file);
}

std::vector<float> Flat(const Json& value) {
    std::vector<float> floats;
    for (const Json& part : value) {
        for (const Json& number : part) {
            floats.push_back(number.get<float>());
        }
    }
    return floats;
}

TEST(ToolNcTest, TheComplexReadOfAVectorTakesMagnitudesOnlyForAnNcName) {
    TempDir dir;
    const std::string path = WriteCases(dir);
    const Json document = RunJson({"dump", path, "--format", "json", "--read", "complex"});
    const Json& subcase = document.at("subcases").at(0);
    EXPECT_EQ(subcase.at("type").get<int>(), 1) << "kind 4 makes the result complex";
    ASSERT_EQ(subcase.at("dataTypes").size(), std::size(kCases));
    const Json& dataSets = subcase.at("simulations").at(0).at("dataSets");
    ASSERT_EQ(dataSets.size(), std::size(kCases));
    for (std::size_t i = 0; i < std::size(kCases); ++i) {
        const NcCase& c = kCases[i];
        EXPECT_EQ(subcase.at("dataTypes").at(i).at("name").get<std::string>(), c.host);
        const Json& dataSet = dataSets.at(i);
        ASSERT_EQ(dataSet.at("dataType").get<std::string>(), c.host);
        ASSERT_EQ(dataSet.at("values").size(), 1u) << c.host;
        const std::vector<float> expected =
            c.magnitudesOnly
                ? std::vector<float>{kReals[0], kReals[1], kReals[2], 0, 0, 0}
                : std::vector<float>{kReals[0],          kReals[2],          kReals[4],
                                     Radians(kReals[1]), Radians(kReals[3]), Radians(kReals[5])};
        EXPECT_EQ(Flat(dataSet.at("values").at(0)), expected) << c.host;
        EXPECT_TRUE(dataSet.at("ok").get<bool>()) << c.host;
    }
}

TEST(ToolNcTest, ARealVectorIsFoundByItsNcNameOnly) {
    TempDir dir;
    const std::string path = WriteCases(dir);
    const Json document =
        RunJson({"dump", path, "--format", "json", "--read", "real", "--type", "disp_NC"});
    const Json& values =
        document.at("subcases").at(0).at("simulations").at(0).at("dataSets").at(0).at("values");
    EXPECT_EQ(values.at(0), Json::parse("[2, 90, 3]"));
    EXPECT_EQ(ToolRunner::Run({"dump", path, "--type", "disp"}).exitCode, 2);
    const ToolRun history =
        ToolRunner::Run({"history", path, "--type", "disp_NC", "--entity", "9"});
    EXPECT_EQ(history.exitCode, 0) << history.err;
    EXPECT_NE(history.out.find("0,Freq = 5,5,2,90,3,0,0,0\n"), std::string::npos) << history.out;
}

} // namespace
