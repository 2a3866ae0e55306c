// Simulations that point at one data-type table (a shape damaged files take
// easily): the scan reads the table once, and every simulation still finds
// the block its table names, by the usual first-match rule.
#include "ScanTestSupport.h"

#include "model/DataTypeEntry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace scantest;
using reswriter::Layout;
using reswriter::ResFile;
using reswriter::TempDir;

constexpr int kSimulations = 200;

// Two tables of different content, written by simulations 0 and 1; every
// later simulation points at one of them (even ones at 0, odd ones at 1).
// `typeName` tells the files of a series apart at equal table positions.
ResFile SharingFile(const std::string& typeName) {
    ResFile file = File(reswriter::kInt4Real4LE, {});
    for (int s = 0; s < kSimulations; ++s) {
        std::vector<reswriter::DataTypeRow> rows;
        if (s == 0) {
            rows = {Row("pressure", 1, {{1, {1.0f}}}), Row("pressure", 3, {{2, {2.0f}}}),
                    Row(typeName, 0, {{3, {3.0f, 3.0f, 3.0f}}})};
        } else if (s == 1) {
            rows = {Row("velocity", 0, {{4, {4.0f, 4.0f, 4.0f}}}),
                    Row("pressure", 1, {{5, {5.0f}}})};
        }
        file.simulations.push_back(Sim("t = " + std::to_string(s), rows));
    }
    Layout layout;
    reswriter::Write(file, &layout);
    for (int s = 2; s < kSimulations; ++s) {
        file.simulations[s].tablePosition = static_cast<int32_t>(layout.simulations[s % 2].table);
    }
    return file;
}

struct Block {
    bool found = false;
    int32_t position = 0;
    int32_t fileIndex = 0;
    bool operator==(const Block& other) const {
        return found == other.found && position == other.position && fileIndex == other.fileIndex;
    }
};

TEST(SharedTable, EverySimulationFindsItsTablesBlocksWhichAreHeldOnce) {
    TempDir dir;
    Layout first;
    Layout second;
    reswriter::WriteFile(dir.File("run.res"), reswriter::Write(SharingFile("gravity"), &first));
    reswriter::WriteFile(dir.File("run1.res"), reswriter::Write(SharingFile("inertia"), &second));
    ASSERT_EQ(first.simulations[0].table, second.simulations[0].table);

    ResultPtr result = OpenResult(dir.File("run.res"));
    ASSERT_EQ(result->ReadNumSubcases(), 1);
    const std::vector<kvresSimulation*> sims = Simulations(*result);
    ASSERT_EQ(sims.size(), 2u * kSimulations);

    // The block of each name in each table: the first row of that name.
    auto block = [](const Layout& layout, int table, int row, int32_t file) {
        return Block{true, static_cast<int32_t>(layout.simulations[table].rows[row].block), file};
    };
    struct Expected {
        const char* name;
        Block table0[2];
        Block table1[2];
    };
    const Expected expected[] = {
        {"pressure",
         {block(first, 0, 0, 0), block(second, 0, 0, 1)},
         {block(first, 1, 1, 0), block(second, 1, 1, 1)}},
        {"gravity", {block(first, 0, 2, 0), Block{}}, {Block{}, Block{}}},
        {"inertia", {Block{}, block(second, 0, 2, 1)}, {Block{}, Block{}}},
        {"velocity", {Block{}, Block{}}, {block(first, 1, 0, 0), block(second, 1, 0, 1)}},
    };
    std::size_t rows = 0;
    for (std::size_t i = 0; i < result->DataTypes().Size(); ++i) {
        rows += result->DataTypes().At(i).RowCount();
    }
    // Two tables of each file read once, however many simulations use them.
    EXPECT_EQ(rows, 2u * 5u);

    for (const Expected& type : expected) {
        const DataTypeEntry* entry = result->FindDataType(type.name);
        ASSERT_NE(entry, nullptr) << type.name;
        for (std::size_t s = 0; s < sims.size(); ++s) {
            const int file = static_cast<int>(s) / kSimulations;
            const bool tableZero = s % 2 == 0;
            Block found;
            found.found = entry->FindLocation(sims[s], &found.position, &found.fileIndex);
            const Block& want = tableZero ? type.table0[file] : type.table1[file];
            EXPECT_TRUE(found == want) << type.name << " in simulation " << s;
        }
    }
    EXPECT_EQ(result->FindDataType("pressure")->Kind(), 1);
}

// Simulations whose tables start one row apart inside the first one's, each
// declaring the first table's row count: each table holds the rows from its
// start to the end of the file. The rows are held once, and every simulation
// still sees every row of its own table and none before it.
TEST(SharedTable, TablesRowsApartShareRowsAndEachSeesItsWholeTable) {
    constexpr int kRows = 60;
    constexpr std::size_t kRowBytes = 39;
    std::vector<reswriter::DataTypeRow> tableRows;
    for (int r = 0; r < kRows; ++r) {
        tableRows.push_back(Row("t" + std::to_string(r), 1, {{r, {1.0f}}}));
    }
    ResFile file = File(reswriter::kInt4Real4LE, {});
    for (int s = 0; s < kRows; ++s) {
        file.simulations.push_back(Sim("t = " + std::to_string(s),
                                       s == 0 ? tableRows : std::vector<reswriter::DataTypeRow>{}));
    }
    Layout layout;
    reswriter::Write(file, &layout);
    for (int s = 1; s < kRows; ++s) {
        file.simulations[s].tablePosition =
            static_cast<int32_t>(layout.simulations[0].table + kRowBytes * s);
    }
    TempDir dir;
    const std::vector<unsigned char> bytes = reswriter::Write(file, &layout);
    reswriter::WriteFile(dir.File("run.res"), bytes);

    ResultPtr result = OpenResult(dir.File("run.res"));
    ASSERT_EQ(result->ReadNumSubcases(), 1);
    std::size_t rows = 0;
    for (std::size_t i = 0; i < result->DataTypes().Size(); ++i) {
        rows += result->DataTypes().At(i).RowCount();
    }
    EXPECT_LE(rows, bytes.size() / kRowBytes);
    const std::vector<kvresSimulation*> sims = Simulations(*result);
    ASSERT_EQ(sims.size(), static_cast<std::size_t>(kRows));
    for (int r = 0; r < kRows; ++r) {
        const DataTypeEntry* entry = result->FindDataType(("t" + std::to_string(r)).c_str());
        ASSERT_NE(entry, nullptr) << r;
        for (int s = 0; s < kRows; ++s) {
            Block found;
            found.found = entry->FindLocation(sims[s], &found.position, &found.fileIndex);
            // Simulation s's rows start at row s of the first table; its
            // count word is the block position of row s - 1, larger than the
            // rows left, so its table runs on to the end of the file.
            const Block want =
                r >= s ? Block{true, static_cast<int32_t>(layout.simulations[0].rows[r].block), 0}
                       : Block{};
            EXPECT_TRUE(found == want) << "t" << r << " in simulation " << s;
        }
    }
}

} // namespace
