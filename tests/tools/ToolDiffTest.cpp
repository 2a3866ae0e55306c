// kvres-tool diff: the number rule table-driven (each tolerance just inside
// and just outside, the floor, NaN and infinities, phases across 0/360
// degrees), then pairs of files differing in one thing each, compared end to
// end through the plug-in.
#include "Tolerance.h"
#include "ToolTestSupport.h"

#include <cmath>
#include <limits>

namespace {

using reswriter::DataTypeRow;
using reswriter::ResFile;
using reswriter::TempDir;
using tooltest::Radians;
using tooltest::RunJson;
using tooltest::WriteRes;

TEST(ToleranceTest, NumbersDifferBeyondTheLargerOfTheTwoTolerances) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        double rtol, atol, floor;
        float a, b;
        bool differs;
    } cases[] = {
        {1e-3, 0, 0, 100.0f, 100.09f, false},  // inside rtol
        {1e-3, 0, 0, 100.0f, 100.11f, true},   // outside rtol
        {0, 0.5, 0, 1.0f, 1.49f, false},       // inside atol
        {0, 0.5, 0, 1.0f, 1.51f, true},        // outside atol
        {1e-6, 0, 0, 0.0f, 1e-30f, true},      // no floor: any change of a zero
        {1e-6, 0, 1e-20, 0.0f, 1e-30f, false}, // below the floor both are 0
        {1e-6, 0, 1e-20, 1e-19f, 1e-30f, true},
        {0, 0, 0, nan, nan, false},
        {0, 0, 0, nan, 1.0f, true},
        {0, 0, 0, inf, inf, false},
        {0, 0, 0, inf, -inf, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Tolerance(c.rtol, c.atol, c.floor).Numbers(c.a, c.b).differs, c.differs)
            << c.a << " vs " << c.b << " rtol " << c.rtol << " atol " << c.atol << " floor "
            << c.floor;
    }
}

TEST(ToleranceTest, PhasesAreComparedTheShorterWayRoundAndOnlyAboveTheFloor) {
    const Tolerance tolerance(0, 0.01, 0.5);
    const Comparison across = tolerance.Phases(Radians(359.9f), Radians(0.1f), 1.0f, 1.0f);
    EXPECT_FALSE(across.differs);
    EXPECT_NEAR(across.absolute, Radians(0.2f), 1e-6);
    EXPECT_TRUE(tolerance.Phases(Radians(359.0f), Radians(1.0f), 1.0f, 1.0f).differs);
    // A magnitude below the floor makes its phase meaningless.
    EXPECT_FALSE(tolerance.Phases(Radians(90.0f), Radians(270.0f), 0.1f, 1.0f).differs);
}

ResFile Pair(float value, float phase) {
    ResFile file;
    for (const char* label : {"Freq = 10", "Freq = 20"}) {
        file.simulations.push_back(
            {label,
             {DataTypeRow{"temperature", 1, {{1, {20.0f}}, {2, {value}}}},
              DataTypeRow{"pressure", 6, {{1, {2.0f, phase}}, {2, {3.0f, 45.0f}}}}}});
    }
    return file;
}

struct Compared {
    int exitCode = -1;
    Json report;
};

Compared Diff(const ResFile& a, const ResFile& b, std::vector<std::string> options = {}) {
    TempDir dir;
    std::vector<std::string> arguments = {"diff", WriteRes(dir, "a.res", a),
                                          WriteRes(dir, "b.res", b), "--format", "json"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    const ToolRun run = ToolRunner::Run(arguments);
    Compared compared;
    compared.exitCode = run.exitCode;
    std::string error;
    EXPECT_TRUE(tooltest::ParseJson(run.out, compared.report, error)) << error << run.err;
    return compared;
}

TEST(ToolDiffTest, EqualSetsExitZero) {
    const Compared same = Diff(Pair(5.0f, 10.0f), Pair(5.0f, 10.0f));
    EXPECT_EQ(same.exitCode, 0);
    EXPECT_TRUE(same.report.at("summary").at("equal").get<bool>());
    EXPECT_EQ(same.report.at("summary").at("dataSets").get<float>(), 4.0f);
    // Kind 6 makes the set complex: per entity a magnitude and a phase.
    EXPECT_EQ(same.report.at("summary").at("valuesCompared").get<float>(), 2 * (2 * 2 + 2 * 2));
}

TEST(ToolDiffTest, AValueJustInsideAndJustOutsideEachTolerance) {
    EXPECT_EQ(Diff(Pair(5.0f, 10.0f), Pair(5.0004f, 10.0f), {"--rtol", "1e-4"}).exitCode, 0);
    const Compared outside = Diff(Pair(5.0f, 10.0f), Pair(5.0006f, 10.0f), {"--rtol", "1e-4"});
    EXPECT_EQ(outside.exitCode, 1);
    const Json& largest = outside.report.at("summary").at("largestAbsolute");
    EXPECT_EQ(largest.at("id").get<float>(), 2.0f);
    EXPECT_EQ(largest.at("component").get<float>(), 0.0f);
    EXPECT_NEAR(largest.at("difference").get<float>(), 0.0006f, 1e-6f);
    EXPECT_EQ(outside.report.at("summary").at("valuesDiffering").get<float>(), 2.0f);

    EXPECT_EQ(Diff(Pair(5.0f, 10.0f), Pair(5.4f, 10.0f), {"--atol", "0.5"}).exitCode, 0);
    EXPECT_EQ(Diff(Pair(5.0f, 10.0f), Pair(5.6f, 10.0f), {"--atol", "0.5"}).exitCode, 1);
    // A tolerance of its own for one data type.
    EXPECT_EQ(Diff(Pair(5.0f, 10.0f), Pair(5.6f, 10.0f), {"--tol", "temperature=0.2"}).exitCode, 0);
    EXPECT_EQ(Diff(Pair(5.0f, 10.0f), Pair(5.6f, 10.0f), {"--tol", "pressure=0.2"}).exitCode, 1);
}

TEST(ToolDiffTest, APhaseAcrossZeroIsTheShortWayRound) {
    EXPECT_EQ(Diff(Pair(5.0f, 359.9f), Pair(5.0f, 0.1f), {"--atol", "0.004"}).exitCode, 0);
    EXPECT_EQ(Diff(Pair(5.0f, 359.9f), Pair(5.0f, 0.1f), {"--atol", "0.003"}).exitCode, 1);
}

TEST(ToolDiffTest, MissingSimulationRenamedTypeAndIdsInOneOnly) {
    ResFile shorter = Pair(5.0f, 10.0f);
    shorter.simulations.pop_back();
    const Compared missing = Diff(Pair(5.0f, 10.0f), shorter);
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.report.at("structure").at(0).get<std::string>(),
              "A has 2 simulations, B has 1");

    ResFile renamed = Pair(5.0f, 10.0f);
    for (auto& simulation : renamed.simulations) {
        simulation.rows[0].name = "temp";
    }
    const Compared types = Diff(Pair(5.0f, 10.0f), renamed);
    EXPECT_EQ(types.exitCode, 1);
    EXPECT_EQ(types.report.at("structure").size(), 2u);
    EXPECT_EQ(types.report.at("structure").at(0).get<std::string>(),
              "data type 'temperature' only in A");

    ResFile extra = Pair(5.0f, 10.0f);
    extra.simulations[1].rows[0].records = {{2, {5.0f}}, {3, {1.0f}}, {1, {20.0f}}};
    const Compared ids = Diff(Pair(5.0f, 10.0f), extra);
    EXPECT_EQ(ids.exitCode, 1);
    const Json& dataSet = ids.report.at("dataSets").at(2); // temperature, simulation 1
    EXPECT_EQ(dataSet.at("onlyInBCount").get<float>(), 1.0f);
    EXPECT_EQ(dataSet.at("onlyInB").at(0).get<float>(), 3.0f);
    EXPECT_EQ(dataSet.at("differing").get<float>(), 0.0f); // ids 1 and 2 matched out of order
}

TEST(ToolDiffTest, MissingFileExitsThreeAndUnknownTypeTwo) {
    TempDir dir;
    const std::string a = WriteRes(dir, "a.res", Pair(5.0f, 10.0f));
    EXPECT_EQ(ToolRunner::Run({"diff", a, dir.File("none.res")}).exitCode, 3);
    EXPECT_EQ(ToolRunner::Run({"diff", a, a, "--type", "nothing"}).exitCode, 2);
}

} // namespace
