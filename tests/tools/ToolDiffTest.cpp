// kvres-tool diff: the number rule table-driven (each tolerance just inside
// and just outside, the floor, NaN and infinities, phases across 0/360
// degrees), then pairs of files differing in one thing each, compared end to
// end through the plug-in.
#include "Tolerance.h"
#include "ToolTestSupport.h"

#include <algorithm>
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

TEST(ToleranceTest, APhaseThresholdDoesNotDependOnWhereTheAnglesLie) {
    constexpr double kPi = 3.141592653589793;
    // Pairs the same distance apart on the circle: near 0, across +-pi, at a
    // quarter turn. Each position gives the same verdict and the same
    // relative difference, whatever the tolerance.
    const double distance = 1e-3;
    const double centres[] = {0.0, kPi, -kPi, kPi / 2, 3.0};
    const struct {
        double rtol, atol;
        bool differs;
    } tolerances[] = {
        {distance / kPi * 1.01, 0, false}, // rtol * pi just above the distance
        {distance / kPi * 0.99, 0, true},  // just below
        {0, distance * 1.01, false},       // atol just above
        {0, distance * 0.99, true},        // just below
        {1e-6, 0, true},
    };
    for (const auto& t : tolerances) {
        for (const double centre : centres) {
            const float a = static_cast<float>(centre - distance / 2);
            float b = static_cast<float>(centre + distance / 2);
            if (b > kPi) {
                b = static_cast<float>(centre + distance / 2 - 2 * kPi);
            }
            const Comparison c = Tolerance(t.rtol, t.atol, 0).Phases(a, b, 1.0f, 1.0f);
            EXPECT_EQ(c.differs, t.differs)
                << "centre " << centre << " rtol " << t.rtol << " atol " << t.atol;
            EXPECT_NEAR(c.absolute, distance, 1e-6) << "centre " << centre;
            EXPECT_NEAR(c.relative, distance / kPi, 1e-6) << "centre " << centre;
        }
    }
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

TEST(ToolDiffTest, PhasesEquallyFarApartGetOneVerdictNearZeroAndNearAHalfTurn) {
    // 0.00004 degrees apart: once at 0, once across +-180.
    const std::pair<float, float> pairs[] = {{0.0f, 0.00004f}, {179.99998f, -179.99998f}};
    for (const auto& [a, b] : pairs) {
        EXPECT_EQ(Diff(Pair(5.0f, a), Pair(5.0f, b), {"--rtol", "1e-6"}).exitCode, 0) << a;
        EXPECT_EQ(Diff(Pair(5.0f, a), Pair(5.0f, b), {"--rtol", "1e-8"}).exitCode, 1) << a;
        // A data type's own tolerance governs its phases as well.
        EXPECT_EQ(Diff(Pair(5.0f, a), Pair(5.0f, b), {"--rtol", "1e-8", "--tol", "pressure=1e-6"})
                      .exitCode,
                  0)
            << a;
    }
}

TEST(ToolDiffTest, SimulationsNamedTwiceAreComparedOnceAndRepeatedIdsMatchInTurn) {
    const struct {
        std::string sims;
        float dataSets;
    } selections[] = {{"0,0", 2}, {"1,0,1", 4}, {"0", 2}, {"all", 4}};
    for (const auto& selection : selections) {
        const Compared run = Diff(Pair(5.0f, 10.0f), Pair(5.0f, 10.0f), {"--sims", selection.sims});
        EXPECT_EQ(run.exitCode, 0) << selection.sims;
        EXPECT_EQ(run.report.at("summary").at("dataSets").get<float>(), selection.dataSets)
            << selection.sims;
    }

    // Id 1 twice in each list, in another order: the k-th 1 of A meets the
    // k-th 1 of B.
    ResFile a = Pair(5.0f, 10.0f);
    ResFile b = Pair(5.0f, 10.0f);
    a.simulations[0].rows[0].records = {{1, {10.0f}}, {2, {5.0f}}, {1, {20.0f}}};
    b.simulations[0].rows[0].records = {{2, {5.0f}}, {1, {10.0f}}, {1, {20.0f}}};
    const Compared repeated = Diff(a, b, {"--sims", "0", "--type", "temperature"});
    EXPECT_EQ(repeated.exitCode, 0);
    const Json& dataSet = repeated.report.at("dataSets").at(0);
    EXPECT_EQ(dataSet.at("onlyInACount").get<float>(), 0.0f);
    EXPECT_EQ(dataSet.at("onlyInBCount").get<float>(), 0.0f);
    EXPECT_EQ(dataSet.at("compared").get<float>(), 3.0f * 2); // a complex read: magnitude and phase
    // Swapping the two values of id 1 in B is a difference, not a match.
    b.simulations[0].rows[0].records = {{2, {5.0f}}, {1, {20.0f}}, {1, {10.0f}}};
    const Compared swapped = Diff(a, b, {"--sims", "0", "--type", "temperature"});
    EXPECT_EQ(swapped.exitCode, 1);
    EXPECT_EQ(swapped.report.at("dataSets").at(0).at("differing").get<float>(), 2.0f);
    // A third 1 in A has no partner.
    a.simulations[0].rows[0].records.push_back({1, {30.0f}});
    const Compared extra = Diff(a, b, {"--sims", "0", "--type", "temperature"});
    EXPECT_EQ(extra.report.at("dataSets").at(0).at("onlyInACount").get<float>(), 1.0f);
    EXPECT_EQ(extra.report.at("dataSets").at(0).at("onlyInBCount").get<float>(), 0.0f);
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
    extra.simulations.at(1).rows[0].records = {{2, {5.0f}}, {3, {1.0f}}, {1, {20.0f}}};
    const Compared ids = Diff(Pair(5.0f, 10.0f), extra);
    EXPECT_EQ(ids.exitCode, 1);
    const Json& dataSet = ids.report.at("dataSets").at(2); // temperature, simulation 1
    EXPECT_EQ(dataSet.at("onlyInBCount").get<float>(), 1.0f);
    EXPECT_EQ(dataSet.at("onlyInB").at(0).get<float>(), 3.0f);
    EXPECT_EQ(dataSet.at("differing").get<float>(), 0.0f); // ids 1 and 2 matched out of order
}

// One data set (pressure, simulation 1: the last block of each file) in
// every state a comparison can leave it, as the JSON and the text say it.
TEST(ToolDiffTest, TextAndJsonSayWhichSideLacksOrFailedASet) {
    const auto without = [](ResFile file) {
        file.simulations[1].rows.pop_back();
        return file;
    };
    const auto cut = [](ResFile file) {
        file.simulations[1].rows[1].entityCount = 5;
        return file;
    };
    const ResFile whole = Pair(5.0f, 10.0f);
    const struct {
        const char* name;
        ResFile a, b;
        bool inA, inB, okA, okB;
        std::string text; // the start of the text's line of the set
    } cases[] = {
        {"equal", whole, whole, true, true, true, true, "4 values, 0 differ\n"},
        {"only in A", whole, without(whole), true, false, true, true, "only in A\n"},
        {"only in B", without(whole), whole, false, true, true, true, "only in B\n"},
        {"failed in A", cut(whole), whole, true, true, false, true, "read failed in A; "},
        {"failed in B", whole, cut(whole), true, true, true, false, "read failed in B; "},
        {"failed in both", cut(whole), cut(whole), true, true, false, false,
         "read failed in A and B; "},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const std::string a = WriteRes(dir, "a.res", c.a);
        const std::string b = WriteRes(dir, "b.res", c.b);
        const Json report =
            RunJson({"diff", a, b, "--format", "json"}, c.name == std::string("equal") ? 0 : 1);
        const Json& set = report.at("dataSets").at(3);
        EXPECT_EQ(set.at("dataType").get<std::string>(), "pressure") << c.name;
        EXPECT_EQ(set.at("simulation").get<float>(), 1.0f) << c.name;
        EXPECT_EQ(set.at("inA").get<bool>(), c.inA) << c.name;
        EXPECT_EQ(set.at("inB").get<bool>(), c.inB) << c.name;
        EXPECT_EQ(set.at("okA").get<bool>(), c.okA) << c.name;
        EXPECT_EQ(set.at("okB").get<bool>(), c.okB) << c.name;

        const ToolRun text = ToolRunner::Run({"diff", a, b, "--format", "text"});
        const std::string line = "  pressure, simulation 1: " + c.text;
        EXPECT_NE(text.out.find(line), std::string::npos) << c.name << "\n" << text.out;
        // Equal values have no largest difference to name.
        EXPECT_EQ(text.out.find("largest"), std::string::npos) << c.name << "\n" << text.out;
    }
}

// The largest differences, per set and over all: the largest absolute one
// (entity 7, component z, simulation 1) and the largest relative one (entity
// 5, component y, simulation 0) lie in different places.
TEST(ToolDiffTest, TheLargestDifferencesNameTheirEntityComponentAndSimulation) {
    const auto vectors = [](float y5, float z7) {
        ResFile file;
        file.simulations.push_back(
            {"t = 1", {DataTypeRow{"displacement", 0, {{5, {0.0f, y5, 0.0f}}, {7, {0, 0, 100}}}}}});
        file.simulations.push_back(
            {"t = 2",
             {DataTypeRow{"displacement", 0, {{5, {0.0f, 1.0f, 0.0f}}, {7, {0, 0, z7}}}}}});
        return file;
    };
    const Compared run = Diff(vectors(1.0f, 100.0f), vectors(1.1f, 100.5f));
    EXPECT_EQ(run.exitCode, 1);
    const auto place = [](const Json& extreme) {
        return std::vector<float>{extreme.at("id").get<float>(),
                                  extreme.at("component").get<float>(),
                                  extreme.at("simulation").get<float>()};
    };
    const Json& first = run.report.at("dataSets").at(0);
    const Json& second = run.report.at("dataSets").at(1);
    EXPECT_EQ(place(first.at("largestAbsolute")), (std::vector<float>{5, 1, 0}));
    EXPECT_EQ(place(first.at("largestRelative")), (std::vector<float>{5, 1, 0}));
    EXPECT_EQ(place(second.at("largestAbsolute")), (std::vector<float>{7, 2, 1}));
    EXPECT_EQ(place(second.at("largestRelative")), (std::vector<float>{7, 2, 1}));
    const Json& summary = run.report.at("summary");
    EXPECT_EQ(place(summary.at("largestAbsolute")), (std::vector<float>{7, 2, 1}));
    EXPECT_EQ(place(summary.at("largestRelative")), (std::vector<float>{5, 1, 0}));
    EXPECT_EQ(summary.at("largestAbsolute").at("difference").get<float>(),
              second.at("largestAbsolute").at("difference").get<float>());
    EXPECT_EQ(summary.at("largestRelative").at("difference").get<float>(),
              first.at("largestRelative").at("difference").get<float>());
    EXPECT_NEAR(second.at("largestAbsolute").at("difference").get<float>(), 0.5f, 1e-6f);
}

// Ids in one file only: all counted, the first ten listed.
TEST(ToolDiffTest, IdsInOneFileOnlyAreCountedAllAndListedUpToTen) {
    for (const int extra : {9, 10, 11, 25}) {
        ResFile a = Pair(5.0f, 10.0f);
        for (int id = 100; id < 100 + extra; ++id) {
            a.simulations[0].rows[0].records.push_back({id, {1.0f}});
        }
        const Compared run = Diff(a, Pair(5.0f, 10.0f), {"--sims", "0", "--type", "temperature"});
        const Json& set = run.report.at("dataSets").at(0);
        EXPECT_EQ(set.at("onlyInACount").get<float>(), static_cast<float>(extra));
        std::vector<float> listed;
        for (int id = 100; id < 100 + std::min(extra, 10); ++id) {
            listed.push_back(static_cast<float>(id));
        }
        EXPECT_EQ(set.at("onlyInA").get<std::vector<float>>(), listed) << extra;
        // The same seen from the other side.
        const Compared swapped =
            Diff(Pair(5.0f, 10.0f), a, {"--sims", "0", "--type", "temperature"});
        EXPECT_EQ(swapped.report.at("dataSets").at(0).at("onlyInB").get<std::vector<float>>(),
                  listed)
            << extra;
    }
}

TEST(ToolDiffTest, MissingFileExitsThreeAndUnknownTypeOrToleranceTwo) {
    TempDir dir;
    const std::string a = WriteRes(dir, "a.res", Pair(5.0f, 10.0f));
    EXPECT_EQ(ToolRunner::Run({"diff", a, dir.File("none.res")}).exitCode, 3);
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{"--type", "nothing"},
          {"--tol", "nothing=0.1"},
          {"--tol", "temperature=0.1", "--tol", "Temperature=0.1"}}) {
        std::vector<std::string> arguments = {"diff", a, a};
        arguments.insert(arguments.end(), options.begin(), options.end());
        const ToolRun run = ToolRunner::Run(arguments);
        EXPECT_EQ(run.exitCode, 2) << options.back();
        EXPECT_NE(run.err.find(" result"), std::string::npos) << run.err;
    }
}

} // namespace
