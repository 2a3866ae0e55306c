// The windows of ScannedTables: which rows of a new table no earlier table
// of its row set covered (the rows the scan then reads), for windows added
// in any order, touching, nested and overlapping; and which tables share a
// row set (same file, positions a whole number of rows apart).
#include "model/ScannedTables.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A window as (file, byte position, rows); rows are 10 bytes.
struct Added {
    int32_t file;
    int64_t position;
    int64_t rows;
    std::string runs; // "first+count" of each run, or "" for none
};

struct Sequence {
    const char* name;
    std::vector<Added> windows;
    int64_t coveredRows;
};

std::string Text(const std::vector<ScannedTables::Run>& runs, const ScannedTables& tables) {
    std::string text;
    for (const ScannedTables::Run& run : runs) {
        text += (text.empty() ? "" : " ") + std::to_string(run.firstRow) + "+" +
                std::to_string(run.count) + "@" +
                std::to_string(tables.RowPosition(run.rowSet, run.firstRow));
    }
    return text;
}

const Sequence kSequences[] = {
    {"Apart", {{0, 100, 3, "10+3@100"}, {0, 200, 2, "20+2@200"}}, 5},
    {"Touching", {{0, 100, 3, "10+3@100"}, {0, 130, 2, "13+2@130"}, {0, 80, 2, "8+2@80"}}, 7},
    {"Nested", {{0, 100, 10, "10+10@100"}, {0, 120, 3, ""}, {0, 100, 10, ""}}, 10},
    {"OneRowApartToTheEnd",
     {{0, 100, 5, "10+5@100"}, {0, 110, 5, "15+1@150"}, {0, 120, 5, "16+1@160"}},
     7},
    {"BackToFrontWithGaps",
     {{0, 150, 2, "15+2@150"},
      {0, 120, 1, "12+1@120"},
      {0, 110, 6, "11+1@110 13+2@130"},
      {0, 100, 10, "10+1@100 17+3@170"}},
     10},
    {"OtherAlignmentIsOtherRows", {{0, 100, 3, "10+3@100"}, {0, 105, 3, "10+3@105"}}, 6},
    {"OtherFileIsOtherRows", {{0, 100, 3, "10+3@100"}, {1, 100, 3, "10+3@100"}}, 6},
    {"BridgingTwoIntervals",
     {{0, 100, 2, "10+2@100"}, {0, 140, 2, "14+2@140"}, {0, 90, 8, "9+1@90 12+2@120 16+1@160"}},
     8},
};

class ScannedTablesWindows : public testing::TestWithParam<Sequence> {};

TEST_P(ScannedTablesWindows, EachRowIsToBeReadOnce) {
    const Sequence& sequence = GetParam();
    ScannedTables tables;
    std::vector<int> simulations(sequence.windows.size());
    for (std::size_t i = 0; i < sequence.windows.size(); ++i) {
        const Added& added = sequence.windows[i];
        auto* simulation = reinterpret_cast<rxSimulation*>(&simulations[i]);
        const std::vector<ScannedTables::Run> runs =
            tables.AddWindow(simulation, added.file, added.position, 10, added.rows);
        EXPECT_EQ(Text(runs, tables), added.runs) << "window " << i;
        const ScannedTables::Window* window = tables.WindowOf(simulation);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(tables.RowPosition(window->rowSet, window->firstRow), added.position);
        EXPECT_EQ(window->rowCount, added.rows);
        EXPECT_EQ(tables.Set(window->rowSet).fileIndex, added.file);
    }
    EXPECT_EQ(tables.CoveredRows(), sequence.coveredRows);
}

INSTANTIATE_TEST_SUITE_P(Sequences, ScannedTablesWindows, testing::ValuesIn(kSequences),
                         [](const testing::TestParamInfo<Sequence>& info) {
                             return std::string(info.param.name);
                         });

TEST(ScannedTables, NoWindowForNoRowsAndOneWindowPerSimulation) {
    ScannedTables tables;
    int a = 0;
    int b = 0;
    auto* first = reinterpret_cast<rxSimulation*>(&a);
    auto* second = reinterpret_cast<rxSimulation*>(&b);
    EXPECT_TRUE(tables.AddWindow(first, 0, 100, 10, 0).empty());
    EXPECT_EQ(tables.WindowOf(first), nullptr);
    EXPECT_TRUE(tables.AddWindow(second, 0, -10, 10, 3).empty());
    EXPECT_EQ(tables.WindowOf(second), nullptr);
    EXPECT_FALSE(tables.AddWindow(first, 0, 100, 10, 2).empty());
    EXPECT_TRUE(tables.AddWindow(first, 0, 500, 10, 2).empty()); // keeps its first window
    EXPECT_EQ(tables.WindowOf(first)->firstRow, 10);
    tables.Clear();
    EXPECT_EQ(tables.WindowOf(first), nullptr);
    EXPECT_EQ(tables.CoveredRows(), 0);
}

} // namespace
