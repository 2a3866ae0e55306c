// Data-type tables that overlap one another, as damaged files have them: a
// simulation count beyond the simulations written, table positions moved
// into other tables (whole rows apart or not), tables cut short by the end of
// the file, names repeated inside a table. Each file is scanned by the
// result and read again here the plain way: every simulation's table row by
// row through the file-set reader, every row registered in turn in a
// directory of its own. Both must agree on the directory (names, first kinds,
// every location in order), on every simulation's first block of every name
// and on whether the result holds complex data.
#include "ScanTestSupport.h"

#include "fileio/ResFileSet.h"
#include "fileio/ResLayout.h"
#include "model/DataTypeDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace scantest;
using reswriter::Encoding;
using reswriter::Layout;
using reswriter::TempDir;
using Bytes = std::vector<unsigned char>;

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

std::string Normalised(const std::string& name) {
    const std::string lower = Lower(name);
    if (lower == "displacements" || lower == "nodal displacement") {
        return "displacement";
    }
    return lower == "displacements (c)" ? "displacement (c)" : name;
}

// The plain reading of the file at `path` into `directory`, registering each
// row for the simulation of the same index in `sims`. Returns whether a row
// of a complex kind was read.
bool ReadPlainly(const std::string& path, const std::vector<kvresSimulation*>& sims,
                 DataTypeDirectory& directory) {
    ResFileSet files;
    if (!files.OpenFile(path)) {
        return false;
    }
    char field[81];
    int32_t count = 0;
    files.ReadBytes(field, 27);
    files.ReadBytes(field, 81);
    files.ReadBytes(field, 81);
    files.ReadInt(&count);
    std::vector<int32_t> tables;
    for (int32_t i = 0; i < count; ++i) {
        int32_t table = 0;
        if (files.ReadBytes(field, 31) != 31 || files.ReadInt(&table) != 1) {
            break;
        }
        tables.push_back(table);
    }
    EXPECT_EQ(tables.size(), sims.size());
    bool complex = false;
    for (std::size_t s = 0; s < tables.size() && s < sims.size(); ++s) {
        int32_t rows = 0;
        if (!files.SeekTo(tables[s]) || files.ReadInt(&rows) != 1) {
            continue;
        }
        for (int32_t r = 0; r < rows; ++r) {
            int32_t kind = 0;
            int32_t block = 0;
            if (files.ReadBytes(field, 31) != 31 || files.ReadInt(&kind) != 1 ||
                files.ReadInt(&block) != 1) {
                break;
            }
            const std::string name = Normalised(reslayout::FieldText(field, 31));
            directory.RegisterBlock(sims[s], name.c_str(), kind, block, 0);
            complex = complex || kind == 4 || kind == 6 || kind == 8;
        }
    }
    for (std::size_t i = 0; i < directory.Size(); ++i) {
        std::string name = directory.At(i).Name();
        if (directory.At(i).Kind() == 4 && name.size() >= 4) {
            name.erase(name.size() - 4);
        }
        if (complex && directory.At(i).Kind() == 0) {
            name += "_NC";
        }
        directory.Rename(i, name);
    }
    return complex;
}

// A directory as text: entries with kind and every location (simulation by
// index), then each simulation's first block of each entry.
std::string Describe(const DataTypeDirectory& directory, const std::vector<kvresSimulation*>& sims,
                     bool complex) {
    std::string text = complex ? "complex\n" : "real\n";
    auto simIndex = [&](const rxSimulation* simulation) {
        for (std::size_t s = 0; s < sims.size(); ++s) {
            if (sims[s] == simulation) {
                return std::to_string(s);
            }
        }
        return std::string("?");
    };
    for (std::size_t i = 0; i < directory.Size(); ++i) {
        const DataTypeEntry& entry = directory.At(i);
        text += "'" + entry.Name() + "' kind " + std::to_string(entry.Kind()) + ":";
        for (const BlockLocation& location : entry.Locations()) {
            text += " " + simIndex(location.simulation) + "@" + std::to_string(location.position);
        }
        text += "\n  first:";
        // All at once, in scan order and reversed, must give the same.
        std::vector<rxSimulation*> inOrder(sims.begin(), sims.end());
        const std::vector<BlockLocation> all = entry.FirstLocations(inOrder);
        std::vector<rxSimulation*> reversed(inOrder.rbegin(), inOrder.rend());
        const std::vector<BlockLocation> backwards = entry.FirstLocations(reversed);
        for (std::size_t s = 0; s < sims.size(); ++s) {
            int32_t position = 0;
            int32_t fileIndex = 0;
            const bool found = entry.FindLocation(sims[s], &position, &fileIndex);
            text += found ? " " + std::to_string(position) + "/f" + std::to_string(fileIndex)
                          : std::string(" -");
            for (const BlockLocation& at : {all[s], backwards[sims.size() - 1 - s]}) {
                EXPECT_EQ(at.simulation != nullptr, found) << entry.Name() << " simulation " << s;
                if (found && at.simulation != nullptr) {
                    EXPECT_EQ(at.simulation, sims[s]);
                    EXPECT_EQ(at.position, position);
                    EXPECT_EQ(at.fileIndex, fileIndex);
                }
            }
        }
        text += "\n";
    }
    return text;
}

// Simulation 0's table: names repeated, a kind-0 displacement, a complex
// vector late in the table; simulations 1 to 3 have small tables of their own.
reswriter::ResFile BaseFile(const Encoding& encoding) {
    return File(encoding,
                {Sim("t = 0", {Row("a", 1), Row("b", 3), Row("a", 5), Row("Displacements", 0),
                               Row("b", 1), Row("stress (c)", 4), Row("c", 7), Row("a", 1)}),
                 Sim("t = 1", {Row("x", 1), Row("a", 1)}), Sim("t = 2", {Row("y", 6)}),
                 Sim("t = 3")});
}

// Rewrites the written file: `patch` gets the bytes, the layout, the
// encoding and the row width.
struct Case {
    const char* name;
    std::function<void(Bytes&, const Layout&, const Encoding&, std::size_t)> patch;
};

void SetInt(Bytes& bytes, std::size_t offset, int64_t value, const Encoding& encoding) {
    reswriter::PatchInt(bytes, offset, static_cast<int32_t>(value), encoding);
}

// Points simulation `s` at byte `offset` of simulation 0's rows.
void MoveTable(Bytes& bytes, const Layout& layout, const Encoding& encoding, int s,
               std::size_t offset) {
    SetInt(bytes, layout.simulations[s].tablePosition, layout.simulations[0].table + offset,
           encoding);
}

// The count word of a table that starts at row r of simulation 0's table is
// the block-position field of row r - 1: set it to `rows`.
void CountAtRow(Bytes& bytes, const Layout& layout, const Encoding& encoding, int r, int32_t rows) {
    SetInt(bytes, layout.simulations[0].rows[r - 1].blockPosition, rows, encoding);
}

const Case kCases[] = {
    {"CountBeyondTheSimulationsWritten", [](Bytes& b, const Layout& l, const Encoding& e,
                                            std::size_t) { SetInt(b, l.simulationCount, 10, e); }},
    {"CountFarBeyondTheSimulationsWritten",
     [](Bytes& b, const Layout& l, const Encoding& e, std::size_t) {
         SetInt(b, l.simulationCount, 65535, e);
     }},
    {"TableMovedIntoAnotherRunningToTheEnd",
     [](Bytes& b, const Layout& l, const Encoding& e, std::size_t row) {
         MoveTable(b, l, e, 1, 2 * row);
     }},
    {"TableMovedIntoAnotherWithAFewRows",
     [](Bytes& b, const Layout& l, const Encoding& e, std::size_t row) {
         MoveTable(b, l, e, 1, 2 * row);
         CountAtRow(b, l, e, 2, 3);
     }},
    {"TablesOneRowApart",
     [](Bytes& b, const Layout& l, const Encoding& e, std::size_t row) {
         for (int s = 1; s <= 3; ++s) {
             MoveTable(b, l, e, s, s * row);
         }
     }},
    {"TablesAtOnePosition",
     [](Bytes& b, const Layout& l, const Encoding& e, std::size_t) {
         for (int s = 1; s <= 3; ++s) {
             MoveTable(b, l, e, s, 0);
         }
     }},
    {"TablesAtOffsetsThatAreNoWholeRow",
     [](Bytes& b, const Layout& l, const Encoding& e, std::size_t row) {
         MoveTable(b, l, e, 1, 5);
         MoveTable(b, l, e, 2, row + 5);
         MoveTable(b, l, e, 3, 1);
     }},
    {"RepeatedNamesInOverlappingWindows",
     [](Bytes& b, const Layout& l, const Encoding& e, std::size_t row) {
         MoveTable(b, l, e, 1, row);
         CountAtRow(b, l, e, 1, 4);
         MoveTable(b, l, e, 2, 2 * row);
         CountAtRow(b, l, e, 2, 6);
     }},
    {"WindowsAddedBackToFront",
     [](Bytes& b, const Layout& l, const Encoding& e, std::size_t row) {
         MoveTable(b, l, e, 1, 5 * row);
         CountAtRow(b, l, e, 5, 2);
         MoveTable(b, l, e, 2, 2 * row);
         CountAtRow(b, l, e, 2, 1);
         MoveTable(b, l, e, 3, row);
         CountAtRow(b, l, e, 1, 6);
     }},
    {"ComplexRowSeenOnlyThroughAnOverlap",
     [](Bytes& b, const Layout& l, const Encoding& e, std::size_t row) {
         SetInt(b, l.simulations[0].dataTypeCount, 5, e);
         MoveTable(b, l, e, 1, 3 * row);
         CountAtRow(b, l, e, 3, 3);
     }},
    {"CountLargerThanTheFile",
     [](Bytes& b, const Layout& l, const Encoding& e, std::size_t row) {
         SetInt(b, l.simulations[0].dataTypeCount, 2147483647, e);
         MoveTable(b, l, e, 2, row);
     }},
    {"TableCutShortByTheEndOfTheFile",
     [](Bytes& b, const Layout& l, const Encoding& e, std::size_t row) {
         MoveTable(b, l, e, 1, row);
         MoveTable(b, l, e, 3, 2 * row + 3);
         b.resize(l.simulations[0].table + e.IntSize() + 4 * row + 10);
     }},
    {"TableCountWordPastTheEnd",
     [](Bytes& b, const Layout& l, const Encoding& e, std::size_t) {
         SetInt(b, l.simulations[1].tablePosition, static_cast<int64_t>(b.size()) - 2, e);
         SetInt(b, l.simulations[2].tablePosition, -1, e);
     }},
};

struct Param {
    const Case* scenario;
    Encoding encoding;
};

class OverlappingTables : public testing::TestWithParam<Param> {};

TEST_P(OverlappingTables, EverySimulationSeesItsWholeTableAsThePlainReadingDoes) {
    const Param& param = GetParam();
    Layout layout;
    Bytes bytes = reswriter::Write(BaseFile(param.encoding), &layout);
    const std::size_t rowBytes = 31 + 2 * param.encoding.IntSize();
    param.scenario->patch(bytes, layout, param.encoding, rowBytes);
    TempDir dir;
    const std::string path = dir.File("run.res");
    reswriter::WriteFile(path, bytes);

    ResultPtr result = OpenResult(path);
    ASSERT_EQ(result->ReadNumSubcases(), 1);
    const std::vector<kvresSimulation*> sims = Simulations(*result);
    DataTypeDirectory plain;
    const bool complex = ReadPlainly(path, sims, plain);
    EXPECT_EQ(Describe(result->DataTypes(), sims, result->HasComplexData()),
              Describe(plain, sims, complex));
    // Each row is held once, whatever the overlaps: no row set holds more
    // rows than the file has room for.
    std::size_t rows = 0;
    for (std::size_t i = 0; i < result->DataTypes().Size(); ++i) {
        rows += result->DataTypes().At(i).RowCount();
    }
    const ScannedTables& tables = result->DataTypes().Tables();
    EXPECT_EQ(static_cast<int64_t>(rows), tables.CoveredRows());
    std::size_t rowSets = 0;
    for (const auto& held : tables.Windows()) {
        rowSets = std::max<std::size_t>(rowSets, held.second.rowSet + 1);
    }
    EXPECT_LE(rows, rowSets * (bytes.size() / rowBytes));
}

std::vector<Param> AllParams() {
    std::vector<Param> params;
    for (const Case& scenario : kCases) {
        for (const Encoding& encoding : DetectableEncodings()) {
            params.push_back(Param{&scenario, encoding});
        }
    }
    return params;
}

INSTANTIATE_TEST_SUITE_P(Files, OverlappingTables, testing::ValuesIn(AllParams()),
                         [](const testing::TestParamInfo<Param>& info) {
                             return std::string(info.param.scenario->name) + "_" +
                                    EncodingName(info.param.encoding);
                         });

} // namespace
