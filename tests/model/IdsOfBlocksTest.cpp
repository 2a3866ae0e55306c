// The sweep that reads the ids of many blocks at once against one BlockReader
// per block: random series in every encoding (blocks of a few records to
// several windows long), random places among the real blocks, bogus ones
// (any position, any record length, files that do not exist) and files cut
// short before or after they were opened, on the reading API's road and the
// host's. Each place must give exactly the ids its own BlockReader gives.
#include "ResWriter.h"
#include "TempDir.h"
#include "fileio/ResFileSet.h"
#include "model/BlockReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

using reswriter::DataTypeRow;
using reswriter::Encoding;
using reswriter::IntFormat;
using reswriter::RealFormat;
using reswriter::Record;
using reswriter::TempDir;

const Encoding kEncodings[] = {
    reswriter::kInt4Real4LE,       reswriter::kInt4Real4BE,      reswriter::kInt8SecondCray8LE,
    reswriter::kInt8SecondCray8BE, reswriter::kInt4Real8LE,      reswriter::kInt4Real8BE,
    reswriter::kInt8FirstCray8LE,  reswriter::kInt8FirstCray8BE,
};

std::vector<int32_t> OneByOne(ResFileSet& files, const BlockReader::Place& place) {
    std::vector<int32_t> ids;
    BlockReader block(files, place.fileIndex, place.position, place.realsPerRecord);
    block.ForEachRecord([&](int32_t id, const float*) { ids.push_back(id); }, false);
    return ids;
}

class IdsOfBlocks : public ::testing::TestWithParam<unsigned> {};

TEST_P(IdsOfBlocks, GivesWhatABlockReaderPerPlaceGives) {
    std::mt19937 random(GetParam());
    auto below = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const Encoding encoding = kEncodings[GetParam() % 8];
    TempDir dir;
    const int fileCount = 1 + below(3);
    std::vector<std::string> paths;
    std::vector<BlockReader::Place> places;
    std::vector<std::size_t> sizes;
    for (int f = 0; f < fileCount; ++f) {
        reswriter::ResFile file;
        file.encoding = encoding;
        const int simulations = 1 + below(5);
        for (int s = 0; s < simulations; ++s) {
            reswriter::Simulation simulation{"sim " + std::to_string(s), {}};
            const int rows = 1 + below(3);
            for (int r = 0; r < rows; ++r) {
                DataTypeRow row{"type " + std::to_string(r), 1, {}};
                const int reals = below(7);
                // Mostly small blocks, now and then one spanning several windows.
                const int records = below(8) == 0 ? below(12000) : below(60);
                for (int i = 0; i < records; ++i) {
                    // Repeats and any order, as a file may hold them.
                    row.records.push_back(
                        Record{below(4) == 0 ? below(50) : 1000 + i,
                               std::vector<float>(static_cast<std::size_t>(reals),
                                                  reswriter::Representable(0.5f, encoding))});
                }
                simulation.rows.push_back(row);
            }
            file.simulations.push_back(simulation);
        }
        reswriter::Layout layout;
        std::vector<unsigned char> bytes = reswriter::Write(file, &layout);
        for (const auto& simulation : layout.simulations) {
            for (std::size_t r = 0; r < simulation.rows.size(); ++r) {
                const std::size_t reals =
                    simulation.rows[r].records.size() > 1
                        ? (simulation.rows[r].records[1] - simulation.rows[r].records[0] -
                           encoding.IntSize()) /
                              encoding.RealSize()
                        : static_cast<std::size_t>(below(7));
                places.push_back(
                    {f, static_cast<int32_t>(simulation.rows[r].block), static_cast<int>(reals)});
            }
        }
        if (below(4) == 0) { // cut before the open
            bytes.resize(static_cast<std::size_t>(below(static_cast<int>(bytes.size()))));
        }
        sizes.push_back(bytes.size());
        paths.push_back(dir.File(fileCount == 1 ? "run.res" : "run" + std::to_string(f) + ".res"));
        reswriter::WriteFile(paths.back(), bytes);
    }
    // Bogus places: anywhere, any record length, a file beyond the series,
    // the same block twice.
    for (int extra = below(6); extra > 0; --extra) {
        const int f = below(fileCount + 1);
        const int size =
            static_cast<int>(sizes[static_cast<std::size_t>(std::min(f, fileCount - 1))]);
        places.push_back({f, below(size + 16) - 4, below(9) - 1});
    }
    places.push_back(places[static_cast<std::size_t>(below(static_cast<int>(places.size())))]);
    std::shuffle(places.begin(), places.end(), random);

    for (const bool apiRoad : {true, false}) {
        ResFileSet files;
        if (apiRoad) {
            files.KeepFilesOpen();
        }
        // Opens every file once, as the structure scan does.
        for (const std::string& path : paths) {
            files.OpenFile(path);
        }
        files.CloseFile();
        if (below(3) == 0) { // cut after the open
            const std::size_t f = static_cast<std::size_t>(below(fileCount));
            std::filesystem::resize_file(paths[f], sizes[f] / 2);
        }
        std::vector<std::vector<int32_t>> expected;
        for (const BlockReader::Place& place : places) {
            expected.push_back(OneByOne(files, place));
        }
        BlockReader::BlockIds found;
        {
            ResFileSet::Hold hold(files);
            found = BlockReader::IdsOfBlocks(files, places);
        }
        // The host's road closes what it opened (the API's may keep it).
        EXPECT_TRUE(apiRoad || !files.IsOpen());
        ASSERT_EQ(found.begin.size(), places.size());
        for (std::size_t i = 0; i < places.size(); ++i) {
            const std::vector<int32_t> got(
                found.ids.begin() + static_cast<std::ptrdiff_t>(found.begin[i]),
                found.ids.begin() + static_cast<std::ptrdiff_t>(found.end[i]));
            EXPECT_EQ(got, expected[i])
                << "place " << i << ": file " << places[i].fileIndex << " at " << places[i].position
                << ", " << places[i].realsPerRecord << " reals"
                << (apiRoad ? ", reading API road" : ", host road");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, IdsOfBlocks, ::testing::Range(0u, 48u));

} // namespace
