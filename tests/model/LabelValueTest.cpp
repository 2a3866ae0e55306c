#include "ScanTestSupport.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

namespace {

using namespace scantest;

constexpr float kNone = -3.4028235e38f;
constexpr float kInf = std::numeric_limits<float>::infinity();

struct LabelCase {
    const char* label;
    float expected;
};

class ParseLabelValueTest : public ::testing::TestWithParam<LabelCase> {};

TEST_P(ParseLabelValueTest, Yields) {
    const LabelCase& c = GetParam();
    const float value = ParseLabelValue(c.label);
    EXPECT_EQ(FloatText(value), FloatText(c.expected)) << "label '" << c.label << "'";
    EXPECT_EQ(std::signbit(value), std::signbit(c.expected)) << "label '" << c.label << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Labels, ParseLabelValueTest,
    ::testing::Values(
        // The number after the first '=', else after the first ':', else after the last blank.
        LabelCase{"Time = 0.25", 0.25f}, LabelCase{"Mode 3: 12.5 Hz", 12.5f},
        LabelCase{"Step 7", 7.0f}, LabelCase{"Step7", kNone}, LabelCase{"a:b=3", 3.0f},
        LabelCase{"a=b:3", 0.0f}, LabelCase{"t=1=2", 1.0f}, LabelCase{"Mode:4:5", 4.0f},
        LabelCase{"Time = abc", 0.0f}, LabelCase{"Mode: x", 0.0f}, LabelCase{"t=", 0.0f},
        LabelCase{"Frame ", kNone}, LabelCase{"", kNone}, LabelCase{"Load -1.5e2", -150.0f},
        LabelCase{"Step 1 2", 2.0f}, LabelCase{"Step 7 ", kNone}, LabelCase{"1e3", 1000.0f},
        LabelCase{"-5", -5.0f}, LabelCase{"e5", kNone}, LabelCase{"x e5", kNone},
        // A candidate that starts like a number but holds none reads as 0 (no sign).
        LabelCase{"Load -", 0.0f}, LabelCase{"Load +", 0.0f}, LabelCase{"Load .", 0.0f},
        LabelCase{"Load --1", 0.0f}, LabelCase{"Load +-1", 0.0f},
        // A tab is not a blank; after '=' leading white space is skipped.
        LabelCase{"Load\t5", kNone}, LabelCase{"t=\t 3", 3.0f}, LabelCase{"t= - 3", 0.0f},
        // Decimal notation only, text after the number ignored.
        LabelCase{"x .5", 0.5f}, LabelCase{"x 5.", 5.0f}, LabelCase{"x +3", 3.0f},
        LabelCase{"x 1,5", 1.0f}, LabelCase{"x 0x10", 0.0f}, LabelCase{"t=2.5e+1Hz", 25.0f},
        LabelCase{"t=2.5e", 2.5f}, LabelCase{"t=2.5E-1", 0.25f}, LabelCase{"t=-0", -0.0f},
        LabelCase{"t=0.1", 0.1f}, LabelCase{"t=16777217", 16777216.0f},
        // Out of the float range: infinite, or zero below it.
        LabelCase{"t=1e39", kInf}, LabelCase{"t=-1e39", -kInf}, LabelCase{"t=1e400", kInf},
        LabelCase{"t=1e-50", 0.0f}, LabelCase{"t=1e-400", 0.0f},
        LabelCase{"t=3.4028235e38", 3.4028235e38f},
        // Infinity spelled out, in any case; after a blank only with a sign.
        LabelCase{"t=inf", kInf}, LabelCase{"t=-Infinity", -kInf}, LabelCase{"x -INF", -kInf},
        LabelCase{"x inf", kNone},
        // Rounded once, straight to the nearest single: a number just above
        // the midpoint of 1 and the next single goes up, where a detour
        // through double would land on the midpoint and round to even.
        LabelCase{"t=1.000000059604644775390625001", 1.00000012f},
        LabelCase{"t=1.000000059604644775390625", 1.0f}, LabelCase{"t=1e-40", 1e-40f},
        // The range test looks at the number's magnitude, not at the
        // exponent's sign alone.
        LabelCase{"t=0.00000000000000000000000000000000000000000000000001", 0.0f},
        LabelCase{"t=100000000000000000000000000000000000000000000000000e-2", kInf},
        LabelCase{"t=0.000000000000000000000000000000000000000000000001e+2", 0.0f}));

TEST(ParseLabelValue, NullLabelHasNoValue) {
    EXPECT_EQ(ParseLabelValue(nullptr), kNone);
}

// Restores the C numeric locale (and the locale search path) however the
// test ends.
class NumericLocale {
public:
    bool Use(const char* name) {
        return std::setlocale(LC_NUMERIC, name) != nullptr &&
               std::localeconv()->decimal_point[0] == ',';
    }
#if defined(__GLIBC__)
    // Builds German numeric conventions into `dir` with localedef from the
    // system's locale sources and makes glibc look there, for a machine that
    // has generated no comma-decimal locale.
    bool Build(const reswriter::TempDir& dir) {
        const std::string target = dir.File("de_DE.UTF-8");
        const std::string command = "localedef -i de_DE -f UTF-8 '" + target + "' >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0) {
            return false;
        }
        const char* previous = std::getenv("LOCPATH");
        savedPath = previous != nullptr ? previous : "";
        hadPath = previous != nullptr;
        pathSet = setenv("LOCPATH", dir.Path().string().c_str(), 1) == 0;
        return pathSet && Use("de_DE.UTF-8");
    }
#endif
    ~NumericLocale() {
        std::setlocale(LC_NUMERIC, "C");
#if defined(__GLIBC__)
        if (pathSet) {
            if (hadPath) {
                setenv("LOCPATH", savedPath.c_str(), 1);
            } else {
                unsetenv("LOCPATH");
            }
        }
#endif
    }

private:
    std::string savedPath;
    bool hadPath = false;
    bool pathSet = false;
};

TEST(ParseLabelValue, IgnoresTheProcessLocale) {
    NumericLocale locale;
    bool found = false;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8",
                             "nl_NL.UTF-8", "ru_RU.UTF-8"}) {
        if (locale.Use(name)) {
            found = true;
            break;
        }
    }
#if defined(__GLIBC__)
    reswriter::TempDir dir;
    if (!found) {
        found = locale.Build(dir);
    }
    // `make test` installs the locale sources (package locales), so a
    // comma-decimal locale can always be had here.
    ASSERT_TRUE(found) << "no locale with a ',' decimal point, and localedef could not build "
                          "de_DE.UTF-8";
#else
    if (!found) {
        GTEST_SKIP() << "no locale with a ',' decimal point is installed";
    }
#endif
    EXPECT_EQ(ParseLabelValue("Time = 0.25"), 0.25f);
    EXPECT_EQ(ParseLabelValue("Load -1.5e2"), -150.0f);
    EXPECT_EQ(ParseLabelValue("x 1,5"), 1.0f);
}

// Sync values through the scan: labels in, sync values out.
struct SyncCase {
    const char* name;
    std::vector<std::vector<std::string>> files; // labels per series file
    std::vector<float> expected;
};

class SyncValueTest : public ::testing::TestWithParam<SyncCase> {};

TEST_P(SyncValueTest, FollowTheLabels) {
    const SyncCase& c = GetParam();
    reswriter::TempDir dir;
    for (std::size_t f = 0; f < c.files.size(); ++f) {
        std::vector<reswriter::Simulation> sims;
        for (const std::string& label : c.files[f]) {
            sims.push_back(Sim(label, {Row("p", 1, {{1, {1.0f}}})}));
        }
        reswriter::ResFile file = File(reswriter::kInt4Real4LE, sims);
        if (sims.empty()) {
            file.simulationCount = 0;
        }
        const std::string name = f == 0 ? "run.res" : "run" + std::to_string(f - 1) + ".res";
        reswriter::WriteFile(dir.File(name), reswriter::Write(file));
    }
    ResultPtr result = OpenResult(dir.File("run.res"));
    Snapshot snapshot = Scan(*result);
    std::vector<std::string> actual;
    std::vector<std::string> expected;
    for (const SimInfo& sim : snapshot.sims) {
        actual.push_back(FloatText(sim.sync));
    }
    for (float value : c.expected) {
        expected.push_back(FloatText(value));
    }
    EXPECT_EQ(actual, expected);
}

const float kNan = std::numeric_limits<float>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Sequences, SyncValueTest,
    ::testing::Values(
        SyncCase{"NoNumbers", {{"Frame", "Frame", "Frame"}}, {0, 1, 2}},
        SyncCase{"Repeated", {{"t=0", "t=0", "t=0.5"}}, {0, 1, 2}},
        SyncCase{"GoingBack", {{"t=1", "t=3", "t=2"}}, {1, 3, 4}},
        SyncCase{"Negative", {{"t=-5", "Step", "t=-1", "t=-2"}}, {-5, -4, -1, 0}},
        SyncCase{"Blanks", {{"Step 2", "Step 2", "Step 1.5", "Step 9"}}, {2, 3, 4, 9}},
        SyncCase{"AcrossFiles",
                 {{"t=1", "t=3"}, {"t=2", "Frame"}, {"t=10", "t=10"}},
                 {1, 3, 4, 5, 10, 11}},
        SyncCase{"NoNumbersAcrossFiles", {{"Frame"}, {"Frame"}, {"Frame"}}, {0, 1, 2}},
        SyncCase{"EmptyFileKeepsTheSequence", {{"t=4"}, {}, {"t=1"}}, {4, 5}},
        // A comparison with a NaN counts as "less": the value stands.
        SyncCase{"NanLabels", {{"t=nan", "t=nan", "t=1", "t=0"}}, {kNan, kNan, 1, 2}},
        SyncCase{"NanInBetween", {{"t=5", "t=nan", "t=2"}}, {5, kNan, 2}},
        SyncCase{"NoValueAfterNan", {{"t=nan", "Frame", "Frame"}}, {kNan, kNone, 0}},
        SyncCase{"NanAcrossFiles", {{"t=3", "t=nan"}, {"t=1"}}, {3, kNan, 1}}),
    [](const ::testing::TestParamInfo<SyncCase>& info) { return std::string(info.param.name); });

} // namespace
