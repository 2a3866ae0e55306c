// Every readable file writes back with the same answers: texts that fill
// their fields, a result with no simulation; hidden names that would need a
// series are refused; a salvage lists every block it writes otherwise.
#include "WriterTestSupport.h"

#include "ResWriter.h"
#include "TempDir.h"

#include "ResultCopier.h"
#include "kvres/WriteError.h"
#include "kvres/Writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <type_traits>

namespace {

namespace fs = std::filesystem;
using writertest::ReadStored;

// Every exception the writer side throws is a kvres::Error.
static_assert(std::is_base_of_v<kvres::Error, kvres::WriteError>);
static_assert(std::is_base_of_v<kvres::WriteError, kvres::InputError>);
static_assert(std::is_base_of_v<kvres::Error, kvres::ResultCopier::Damaged>);

TEST(WriterFields, TextsThatFillTheirFieldsAndAnEmptyResultWriteBack) {
    reswriter::TempDir dir;
    const std::string label = "Time = 0.5 " + std::string(20, 'x'); // 31 bytes, no NUL
    reswriter::ResFile file;
    file.text1 = std::string(81, 'a');
    file.text2 = std::string(81, 'b');
    file.simulations.push_back({label, {{"t", 1, {{1, {2.5f}}}}}});
    reswriter::WriteFile(dir.File("in.res"), reswriter::Write(file));
    reswriter::ResFile none;
    reswriter::WriteFile(dir.File("none.res"), reswriter::Write(none));
    for (const char* name : {"in.res", "none.res"}) {
        SCOPED_TRACE(name);
        kvres::ResultCopier copier(dir.File(name));
        kvres::WriterOptions options;
        options.title = copier.Title();
        options.subtitle = copier.Subtitle();
        const std::string out = dir.File(std::string("out-") + name);
        kvres::Writer writer(out, options);
        std::vector<std::string> dropped;
        for (int s = 0; s < copier.SimulationCount(); ++s) {
            copier.CopySimulation(writer, s, {}, dropped);
        }
        writer.Close();
        EXPECT_TRUE(dropped.empty());
        const auto a = ReadStored(dir.File(name));
        const auto b = ReadStored(out);
        ASSERT_TRUE(b.opened);
        EXPECT_EQ(b.titles, a.titles);
        ASSERT_EQ(b.simulations.size(), a.simulations.size());
        for (std::size_t s = 0; s < a.simulations.size(); ++s) {
            EXPECT_EQ(b.simulations[s].label, a.simulations[s].label);
        }
    }
    EXPECT_EQ(ReadStored(dir.File("out-in.res")).simulations.at(0).label, label);
    EXPECT_EQ(fs::file_size(dir.File("out-none.res")), fs::file_size(dir.File("none.res")));
}

TEST(WriterFields, AHiddenNameThatNeedsASeriesIsRefused) {
    reswriter::TempDir dir;
    const std::int32_t ids[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    const float values[10] = {};
    for (const int simulations : {1, 5}) {
        SCOPED_TRACE(simulations);
        std::string refusal;
        try {
            kvres::Writer writer(dir.File(".run.res"), kvres::WriterOptions(), 1000);
            for (int s = 0; s < simulations; ++s) {
                writer.BeginSimulation("s");
                writer.WriteBlock("t", 1, ids, 10, values, 10);
                writer.WriteBlock("u", 1, ids, 10, values, 10);
            }
            writer.Close();
        } catch (const kvres::WriteError& error) {
            refusal = error.what();
        }
        if (simulations == 1) {
            EXPECT_EQ(refusal, "");
            EXPECT_EQ(ReadStored(dir.File(".run.res")).simulations.size(), 1u);
        } else {
            EXPECT_NE(refusal.find("a reader skips the hidden files of a series"),
                      std::string::npos)
                << refusal;
        }
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
}

TEST(WriterFields, ASalvageListsEveryBlockItWritesEmpty) {
    reswriter::TempDir dir;
    reswriter::ResFile file;
    reswriter::DataTypeRow negative{"negative", 1, {{1, {1.0f}}}};
    negative.entityCount = -3;
    reswriter::DataTypeRow lost{"never read", 2, {{1, {}}}};
    lost.blockPosition = 0x7fffff00;
    reswriter::DataTypeRow fine{"fine", 1, {{1, {4.0f}}}};
    file.simulations.push_back({"s", {negative, lost, fine}});
    reswriter::WriteFile(dir.File("in.res"), reswriter::Write(file));
    kvres::ResultCopier copier(dir.File("in.res"));
    for (const bool salvage : {false, true}) {
        kvres::Writer writer(dir.File("out.res"));
        kvres::ResultCopier::Options options;
        options.salvage = salvage;
        std::vector<std::string> dropped;
        if (!salvage) {
            EXPECT_THROW(copier.CopySimulation(writer, 0, options, dropped),
                         kvres::ResultCopier::Damaged);
            // Damage is a kvres::Error like every other failure kvres throws.
            EXPECT_THROW(copier.CopySimulation(writer, 0, options, dropped), kvres::Error);
            continue;
        }
        copier.CopySimulation(writer, 0, options, dropped);
        writer.Close();
        ASSERT_EQ(dropped.size(), 2u);
        EXPECT_NE(dropped[0].find("'negative': its block has a negative entity count (-3); "
                                  "written empty"),
                  std::string::npos)
            << dropped[0];
        EXPECT_NE(dropped[1].find("'never read' (kind 2, never read): its block is unreachable "
                                  "or cut short; written empty"),
                  std::string::npos)
            << dropped[1];
        const auto stored = ReadStored(dir.File("out.res"));
        ASSERT_EQ(stored.simulations.at(0).blocks.size(), 3u);
        EXPECT_TRUE(stored.simulations[0].blocks[0].ids.empty());
        EXPECT_TRUE(stored.simulations[0].blocks[1].ids.empty());
        EXPECT_EQ(stored.simulations[0].blocks[2].reals, std::vector<float>{4.0f});
    }
}

} // namespace
