// StructureReader on files built with ResWriter: what it reads and why it
// stops, case by case, in encodings of 4- and 8-byte integers of both byte
// orders; the expectations come from what the writer laid out.
#include "model/StructureReader.h"
#include "ResWriter.h"
#include "TempDir.h"
#include "fileio/ResFileSet.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using reswriter::Encoding;
using Status = StructureReader::Status;

const Encoding kEncodings[] = {reswriter::kInt4Real4LE, reswriter::kInt4Real4BE,
                               reswriter::kInt8SecondCray8BE, reswriter::kInt8SecondCray8LE};

// Every status has its own text, and each text is the one check's report
// (text and JSON) has always written for it.
TEST(StructureStatus, EveryStatusHasItsOneText) {
    const std::pair<Status, std::string> expected[] = {
        {Status::Ok, "ok"},
        {Status::CutShort, "cut-short"},
        {Status::Unreachable, "unreachable"},
        {Status::CountUnreadable, "count-unreadable"},
        {Status::NegativeCount, "negative-count"},
        {Status::NotPresented, "not-presented"},
        {Status::Repeated, "repeated"},
        {Status::Shared, "shared"},
        {Status::Overlapping, "overlapping"},
    };
    ASSERT_EQ(std::size(expected), std::size(kStructureStatuses));
    std::set<std::string> texts;
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(kStructureStatuses[i], expected[i].first) << i;
        EXPECT_EQ(StructureStatusText(expected[i].first), expected[i].second) << i;
        texts.insert(StructureStatusText(kStructureStatuses[i]));
    }
    EXPECT_EQ(texts.size(), std::size(expected));
    EXPECT_STREQ(StructureStatusText(static_cast<Status>(std::size(expected))), "?");
}

// The file under test: simulation "a" with two rows, "b" with one, whose
// block (three records) is the last thing in the file.
struct File {
    Encoding encoding;
    reswriter::ResFile description;
    reswriter::Layout layout;
    std::vector<unsigned char> bytes;
    int64_t block = 0; // the block a block case measures

    explicit File(const Encoding& e) : encoding(e) {
        const float one = reswriter::Representable(1.5f, e);
        const std::vector<reswriter::Record> three = {{1, {one}}, {2, {one}}, {3, {one}}};
        description.encoding = e;
        description.text1 = "first text";
        description.simulations = {
            {"a Time=1", {{"STRESS", 1, three}, {"DISP", 0, {{7, {one, one, one}}}}}},
            {"b Time=2", {{"STRESS", 1, three}}}};
        bytes = reswriter::Write(description, &layout);
        block = static_cast<int64_t>(layout.simulations[1].rows[0].block);
    }
    int64_t Size() const { return static_cast<int64_t>(bytes.size()); }
    void Patch(std::size_t offset, int64_t value) {
        reswriter::PatchInt(bytes, offset, static_cast<int32_t>(value), encoding);
    }
    void CutAt(std::size_t offset) { bytes.resize(offset); }
};

struct Opened {
    reswriter::TempDir dir;
    ResFileSet files;
    explicit Opened(const File& file) {
        const std::string path = dir.File("case.res");
        reswriter::WriteFile(path, file.bytes);
        EXPECT_TRUE(files.OpenFile(path));
    }
};

// The rows ForEachRow visits; `whole` tells whether it read them all.
std::vector<StructureReader::Row> Rows(StructureReader& reader, int64_t position, int64_t count,
                                       bool& whole) {
    std::vector<StructureReader::Row> rows;
    whole = reader.ForEachRow(position, count,
                              [&](const StructureReader::Row& row) { rows.push_back(row); });
    return rows;
}

struct TableCase {
    const char* name;
    void (*edit)(File&);
    int64_t wholeEntries; // -1: as many as fit after the table's start
    Status status;        // of simulation 0's data-type table
    int64_t wholeRows;    // -1: as many as fit
};

const TableCase kTableCases[] = {
    {"Intact", [](File&) {}, 2, Status::Ok, 2},
    {"SimulationTableCutShort", [](File& f) { f.CutAt(f.layout.simulations[1].tablePosition + 1); },
     1, Status::Unreachable, 0},
    {"SimulationCountBeyondTheFile", [](File& f) { f.Patch(f.layout.simulationCount, 65535); }, -1,
     Status::Ok, 2},
    {"TablePastTheEnd", [](File& f) { f.Patch(f.layout.simulations[0].tablePosition, f.Size()); },
     2, Status::Unreachable, 0},
    {"TableBeforeTheStart", [](File& f) { f.Patch(f.layout.simulations[0].tablePosition, -1); }, 2,
     Status::Unreachable, 0},
    {"TableCountCutShort",
     [](File& f) { f.Patch(f.layout.simulations[0].tablePosition, f.Size() - 1); }, 2,
     Status::CountUnreadable, 0},
    {"NegativeTableCount", [](File& f) { f.Patch(f.layout.simulations[0].dataTypeCount, -4); }, 2,
     Status::NegativeCount, 0},
    {"EmptyTable", [](File& f) { f.Patch(f.layout.simulations[0].dataTypeCount, 0); }, 2,
     Status::Ok, 0},
    {"TableRowsCutShort", [](File& f) { f.CutAt(f.layout.simulations[0].rows[1].name + 3); }, 2,
     Status::CutShort, 1},
    {"TableCountBeyondTheFile",
     [](File& f) { f.Patch(f.layout.simulations[0].dataTypeCount, 60000); }, 2, Status::CutShort,
     -1},
};

class StructureReaderTableTest : public ::testing::TestWithParam<TableCase> {};

TEST_P(StructureReaderTableTest, ReadsWhatIsWholeAndSaysWhy) {
    for (const Encoding& encoding : kEncodings) {
        SCOPED_TRACE("integers of " + std::to_string(encoding.IntSize()) + " bytes");
        File file(encoding);
        GetParam().edit(file);
        Opened opened(file);
        StructureReader reader(opened.files);
        const int64_t intSize = static_cast<int64_t>(encoding.IntSize());
        const int64_t rowBytes = reswriter::kNameWidth + 2 * intSize;
        ASSERT_EQ(reader.Size(), file.Size());
        ASSERT_EQ(reader.RowBytes(), rowBytes);

        const StructureReader::Header header = reader.ReadHeader();
        EXPECT_EQ(header.title, "Korvane Results");
        EXPECT_EQ(header.text1, "first text");
        const int64_t entryBytes = reswriter::kLabelWidth + intSize;
        const int64_t fit =
            (file.Size() - static_cast<int64_t>(file.layout.simulationTable)) / entryBytes;
        const int64_t entries = GetParam().wholeEntries < 0 ? fit : GetParam().wholeEntries;
        ASSERT_EQ(static_cast<int64_t>(header.simulations.size()), entries);
        EXPECT_EQ(header.simulations[0].label, "a Time=1");

        const StructureReader::Table table = reader.ReadTable(header.simulations[0].tablePosition);
        EXPECT_EQ(table.status, GetParam().status);
        const int64_t rowsFit = (file.Size() - table.firstRow) / rowBytes;
        EXPECT_EQ(table.wholeRows, GetParam().wholeRows < 0 ? rowsFit : GetParam().wholeRows);
        bool whole = false;
        const std::vector<StructureReader::Row> rows =
            Rows(reader, table.firstRow, table.wholeRows, whole);
        EXPECT_TRUE(whole);
        EXPECT_EQ(static_cast<int64_t>(rows.size()), table.wholeRows);
        for (std::size_t r = 0; r < rows.size() && r < 2; ++r) {
            const reswriter::DataTypeRow& written = file.description.simulations[0].rows[r];
            EXPECT_EQ(rows[r].name, written.name);
            EXPECT_EQ(rows[r].kind, written.kind);
            EXPECT_EQ(rows[r].blockPosition,
                      static_cast<int32_t>(file.layout.simulations[0].rows[r].block));
        }
        // One row more than is whole is refused.
        if (table.status == Status::CutShort) {
            Rows(reader, table.firstRow, table.wholeRows + 1, whole);
            EXPECT_FALSE(whole);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, StructureReaderTableTest, ::testing::ValuesIn(kTableCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct BlockCase {
    const char* name;
    void (*edit)(File&);
    Status status; // of the last block, three records of kind 1
    int32_t storedCount;
    int64_t wholeRecords;
};

const BlockCase kBlockCases[] = {
    {"Intact", [](File&) {}, Status::Ok, 3, 3},
    {"PastTheEnd", [](File& f) { f.block = f.Size(); }, Status::Unreachable, 0, 0},
    {"BeforeTheStart", [](File& f) { f.block = -1; }, Status::Unreachable, 0, 0},
    {"CountCutShort", [](File& f) { f.block = f.Size() - 1; }, Status::CountUnreadable, 0, 0},
    {"NegativeCount", [](File& f) { f.Patch(f.layout.simulations[1].rows[0].entityCount, -2); },
     Status::NegativeCount, -2, 0},
    {"RecordsCutShort", [](File& f) { f.CutAt(f.layout.simulations[1].rows[0].records[2] + 1); },
     Status::CutShort, 3, 2},
    {"CountBeyondTheFile",
     [](File& f) { f.Patch(f.layout.simulations[1].rows[0].entityCount, 1000); }, Status::CutShort,
     1000, 3},
};

class StructureReaderBlockTest : public ::testing::TestWithParam<BlockCase> {};

TEST_P(StructureReaderBlockTest, MeasuresTheBlockAgainstTheFile) {
    for (const Encoding& encoding : kEncodings) {
        SCOPED_TRACE("integers of " + std::to_string(encoding.IntSize()) + " bytes");
        File file(encoding);
        GetParam().edit(file);
        Opened opened(file);
        StructureReader reader(opened.files);
        const int64_t recordBytes = static_cast<int64_t>(encoding.IntSize() + encoding.RealSize());
        const StructureReader::Block block = reader.ReadBlock(file.block, recordBytes);
        EXPECT_EQ(block.status, GetParam().status);
        EXPECT_EQ(block.storedCount, GetParam().storedCount);
        EXPECT_EQ(block.wholeRecords, GetParam().wholeRecords);
        const bool inside = file.block >= 0 && file.block < file.Size();
        EXPECT_EQ(block.bytesAvailable, inside ? file.Size() - file.block : 0);
        if (block.status == Status::Ok || block.status == Status::CutShort) {
            EXPECT_EQ(block.bytesNeeded, static_cast<int64_t>(encoding.IntSize()) +
                                             GetParam().storedCount * recordBytes);
            // The file stands at the first record.
            int32_t id = 0;
            ASSERT_EQ(opened.files.ReadInt(&id), 1);
            EXPECT_EQ(id, 1);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, StructureReaderBlockTest, ::testing::ValuesIn(kBlockCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Tables, rows and blocks read out of order, and between reads of records,
// read what they read in file order: where the file stands is never assumed.
TEST(StructureReaderOrderTest, AnyOrderReadsTheSame) {
    for (const Encoding& encoding : kEncodings) {
        File file(encoding);
        // Simulation "b" shares the table of "a" (the same position).
        file.Patch(file.layout.simulations[1].tablePosition,
                   static_cast<int64_t>(file.layout.simulations[0].table));
        Opened opened(file);
        StructureReader reader(opened.files);
        const StructureReader::Header header = reader.ReadHeader();
        ASSERT_EQ(header.simulations.size(), 2u);
        bool whole = false;
        const StructureReader::Table first = reader.ReadTable(header.simulations[0].tablePosition);
        const std::vector<StructureReader::Row> all =
            Rows(reader, first.firstRow, first.wholeRows, whole);
        ASSERT_EQ(all.size(), 2u);
        for (int round = 0; round < 2; ++round) {
            for (int64_t r = first.wholeRows - 1; r >= 0; --r) {
                reader.ReadBlock(all[static_cast<std::size_t>(r)].blockPosition, 8);
                int32_t id = 0;
                opened.files.ReadInt(&id); // moves the file behind the reader's back
                const StructureReader::Table again =
                    reader.ReadTable(header.simulations[1].tablePosition);
                EXPECT_EQ(again.storedRows, first.storedRows);
                const std::vector<StructureReader::Row> one =
                    Rows(reader, again.firstRow + r * reader.RowBytes(), 1, whole);
                ASSERT_TRUE(whole);
                EXPECT_EQ(one[0].name, all[static_cast<std::size_t>(r)].name);
                EXPECT_EQ(one[0].blockPosition, all[static_cast<std::size_t>(r)].blockPosition);
            }
        }
        EXPECT_EQ(reader.ReadHeader().simulations[1].label, "b Time=2");
    }
}

// A header cut short under the reader (the file shrank after it was opened)
// gives the fields read whole and no simulations.
TEST(StructureReaderOrderTest, HeaderCutShortAfterOpening) {
    File file(reswriter::kInt4Real4LE);
    Opened opened(file);
    std::filesystem::resize_file(opened.dir.File("case.res"), file.layout.text2 + 5);
    StructureReader reader(opened.files);
    const StructureReader::Header header = reader.ReadHeader();
    EXPECT_EQ(header.title, "Korvane Results");
    EXPECT_EQ(header.text1, "first text");
    EXPECT_EQ(header.text2, "");
    EXPECT_TRUE(header.simulations.empty());
}

// A table at byte 0 reads the title as its count and rows: the reader does
// not take the header's reads for a stay at byte 0.
TEST(StructureReaderOrderTest, TableAtTheStartReadsTheTitle) {
    File file(reswriter::kInt4Real4LE);
    file.Patch(file.layout.simulations[0].tablePosition, 0);
    Opened opened(file);
    StructureReader reader(opened.files);
    const StructureReader::Table table =
        reader.ReadTable(reader.ReadHeader().simulations[0].tablePosition);
    EXPECT_EQ(table.storedRows, 'K' | 'o' << 8 | 'r' << 16 | 'v' << 24);
    bool whole = false;
    const std::vector<StructureReader::Row> rows = Rows(reader, table.firstRow, 1, whole);
    ASSERT_TRUE(whole);
    EXPECT_EQ(rows[0].name, "ane Results");
}

} // namespace
