// Every prefix of a valid file must scan without harm into a consistent part
// of the whole structure: simulations whose table entry was read whole, and
// for each of them the rows of its data-type table read whole, up to the
// first short read. Nothing is created or registered from a value that was
// not read.
#include "ScanTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace scantest;
using reswriter::Encoding;
using reswriter::Layout;
using reswriter::ResFile;

struct FileCut {
    ResFile file;
    Layout layout;
    std::size_t cut; // bytes of the file that exist
};

// The structure a scan of the cut files must build. Labels carry increasing
// numbers, so every sync value is the label's own; names need no normalising.
Snapshot Expected(const std::vector<FileCut>& files) {
    Snapshot expected;
    expected.subcases = 1;
    struct Registration {
        std::string name;
        int32_t kind;
        Location location;
    };
    std::vector<Registration> registrations;
    for (std::size_t f = 0; f < files.size(); ++f) {
        const FileCut& fc = files[f];
        const std::size_t intSize = fc.file.encoding.IntSize();
        const int32_t fileIndex = static_cast<int32_t>(f);
        if (fc.cut < fc.layout.simulationCount + intSize) {
            continue;
        }
        std::size_t whole = 0;
        while (whole < fc.file.simulations.size() &&
               fc.cut >= fc.layout.simulations[whole].tablePosition + intSize) {
            const reswriter::Simulation& sim = fc.file.simulations[whole];
            expected.sims.push_back(
                SimInfo{sim.label, ParseLabelValue(sim.label.c_str()),
                        static_cast<int32_t>(fc.layout.simulations[whole].table), fileIndex});
            ++whole;
        }
        const int firstSim = static_cast<int>(expected.sims.size() - whole);
        for (std::size_t s = 0; s < whole; ++s) {
            const reswriter::SimulationLayout& simLayout = fc.layout.simulations[s];
            if (fc.cut < simLayout.dataTypeCount + intSize) {
                continue;
            }
            for (std::size_t r = 0; r < simLayout.rows.size(); ++r) {
                if (fc.cut < simLayout.rows[r].blockPosition + intSize) {
                    break;
                }
                const reswriter::DataTypeRow& row = fc.file.simulations[s].rows[r];
                const int32_t position = row.blockPosition
                                             ? *row.blockPosition
                                             : static_cast<int32_t>(simLayout.rows[r].block);
                registrations.push_back(Registration{
                    row.name, row.kind, {firstSim + static_cast<int>(s), position, fileIndex}});
            }
        }
    }
    std::map<std::string, std::size_t> byName;
    for (const Registration& registration : registrations) {
        auto found = byName.find(registration.name);
        if (found == byName.end()) {
            found = byName.emplace(registration.name, expected.entries.size()).first;
            expected.entries.push_back(Entry{registration.name, registration.kind, {}});
        }
        expected.entries[found->second].locations.push_back(registration.location);
        if (registration.kind == 4 || registration.kind == 6 || registration.kind == 8) {
            expected.complex = true;
        }
    }
    for (Entry& entry : expected.entries) {
        if (entry.kind == 4 && entry.name.size() >= 4) {
            entry.name.erase(entry.name.size() - 4);
        }
        if (expected.complex && entry.kind == 0) {
            entry.name += "_NC";
        }
    }
    return expected;
}

std::vector<reswriter::Record> Records(const Encoding& encoding, int count, int reals) {
    std::vector<reswriter::Record> records;
    for (int i = 0; i < count; ++i) {
        reswriter::Record record{100 + i, {}};
        for (int v = 0; v < reals; ++v) {
            record.reals.push_back(
                reswriter::Representable(0.5f + static_cast<float>(v), encoding));
        }
        records.push_back(record);
    }
    return records;
}

ResFile SweepFile(const Encoding& encoding, float firstLabel) {
    reswriter::DataTypeRow skip = Row("skip", 2);
    skip.writeBlock = false;
    skip.blockPosition = 999999;
    auto label = [&](float offset) {
        return "t=" + std::to_string(static_cast<int>(firstLabel + offset));
    };
    return File(encoding, {Sim(label(0), {Row("velocity", 0, Records(encoding, 2, 3)),
                                          Row("pressure", 1, Records(encoding, 1, 1)), skip}),
                           Sim(label(1), {Row("pressure", 1, Records(encoding, 1, 1)),
                                          Row("stress (c)", 4, Records(encoding, 1, 6)),
                                          Row("temp", 7, Records(encoding, 1, 3))}),
                           Sim(label(2), {Row("velocity", 0, Records(encoding, 1, 3)),
                                          Row("pressure", 3, Records(encoding, 1, 1))})});
}

std::vector<unsigned char> Prefix(const std::vector<unsigned char>& bytes, std::size_t cut) {
    return std::vector<unsigned char>(bytes.begin(),
                                      bytes.begin() + static_cast<std::ptrdiff_t>(cut));
}

class TruncationTest : public ::testing::TestWithParam<Encoding> {};

TEST_P(TruncationTest, EveryPrefixScansIntoAConsistentPart) {
    const Encoding encoding = GetParam();
    FileCut whole{SweepFile(encoding, 1.0f), {}, 0};
    const std::vector<unsigned char> bytes = reswriter::Write(whole.file, &whole.layout);
    whole.cut = bytes.size();

    // The oracle sees everything in the whole file.
    const Snapshot all = Expected({whole});
    ASSERT_EQ(all.sims.size(), 3u);
    ASSERT_EQ(all.entries.size(), 5u);
    ASSERT_TRUE(all.complex);
    EXPECT_EQ(all.entries[3].name, "stress");
    EXPECT_EQ(all.entries[0].name, "velocity_NC");

    reswriter::TempDir dir;
    const std::string path = dir.File("cut.res");
    for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
        reswriter::WriteFile(path, Prefix(bytes, cut));
        FileCut fc = whole;
        fc.cut = cut;
        const Snapshot actual = ScanPath(path);
        ASSERT_EQ(Describe(actual), Describe(Expected({fc}))) << "cut at " << cut;
    }
}

INSTANTIATE_TEST_SUITE_P(Encodings, TruncationTest, ::testing::ValuesIn(DetectableEncodings()),
                         [](const ::testing::TestParamInfo<Encoding>& info) {
                             return EncodingName(info.param);
                         });

// Every offset at which a field starts or ends, and one byte into it.
std::vector<std::size_t> FieldBoundaries(const Layout& layout, std::size_t intSize) {
    std::vector<std::size_t> cuts = {0,
                                     layout.text1,
                                     layout.text2,
                                     layout.simulationCount,
                                     layout.simulationCount + intSize - 1,
                                     layout.simulationTable,
                                     layout.size};
    for (const reswriter::SimulationLayout& sim : layout.simulations) {
        for (std::size_t field : {sim.label, sim.tablePosition, sim.dataTypeCount}) {
            cuts.push_back(field);
            cuts.push_back(field + 1);
        }
        for (const reswriter::RowLayout& row : sim.rows) {
            for (std::size_t field : {row.name, row.kind, row.blockPosition, row.entityCount}) {
                if (field != reswriter::kNoOffset) {
                    cuts.push_back(field);
                    cuts.push_back(field + 1);
                }
            }
            for (std::size_t record : row.records) {
                cuts.push_back(record);
            }
        }
    }
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    cuts.erase(std::remove_if(cuts.begin(), cuts.end(),
                              [&](std::size_t cut) { return cut > layout.size; }),
               cuts.end());
    return cuts;
}

// A series whose middle file is cut short: the files around it are scanned
// whole, the last one with its own series index.
TEST(Truncation, CutSeriesMemberLeavesTheOtherFilesWhole) {
    std::vector<FileCut> files = {{SweepFile(reswriter::kInt4Real4LE, 1.0f), {}, 0},
                                  {SweepFile(reswriter::kInt8SecondCray8BE, 10.0f), {}, 0},
                                  {SweepFile(reswriter::kInt4Real4BE, 20.0f), {}, 0}};
    std::vector<std::vector<unsigned char>> bytes;
    for (FileCut& fc : files) {
        bytes.push_back(reswriter::Write(fc.file, &fc.layout));
        fc.cut = bytes.back().size();
    }
    reswriter::TempDir dir;
    reswriter::WriteFile(dir.File("run.res"), bytes[0]);
    reswriter::WriteFile(dir.File("run1.res"), bytes[2]);
    const std::vector<std::size_t> cuts =
        FieldBoundaries(files[1].layout, files[1].file.encoding.IntSize());
    ASSERT_GT(cuts.size(), 40u);
    for (std::size_t cut : cuts) {
        reswriter::WriteFile(dir.File("run0.res"), Prefix(bytes[1], cut));
        files[1].cut = cut;
        const Snapshot actual = ScanPath(dir.File("run.res"));
        ASSERT_EQ(Describe(actual), Describe(Expected(files))) << "middle file cut at " << cut;
        ASSERT_GE(actual.sims.size(), 6u);
        EXPECT_EQ(actual.sims.back().fileIndex, 2);
    }
}

} // namespace
