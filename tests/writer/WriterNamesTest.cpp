// Data type names judged as the reader judges them: the writer stores the
// name a reader shows as given (or refuses it), refuses two data types a
// reader would take for one, and the copier refuses (or, salvaging, leaves
// out and lists) a block whose name changed kind rather than re-sizing it.
#include "WriterTestSupport.h"

#include "ResWriter.h"
#include "TempDir.h"

#include "ResultCopier.h"
#include "kvres/Writer.h"

#include <gtest/gtest.h>

namespace {

using writertest::ReadStored;

struct Block {
    int simulation;
    std::string name;
    int kind;
};

struct NameCase {
    const char* what;
    std::vector<Block> blocks;
    bool storedNames;
    // The message of the refusal of the last block (or of Close) when it is
    // refused; else the stored names of every block, in order.
    std::string refusal;
    std::vector<std::string> stored;
};

TEST(WriterNames, NamesAreJudgedAsTheReaderJudgesThem) {
    const std::vector<NameCase> cases = {
        {"a complex vector keeps the name a reader shows",
         {{0, "accel", 4}, {0, "t", 1}},
         false,
         "",
         {"accel (c)", "t"}},
        {"stored names stay as given", {{0, "accel (c)", 4}}, true, "", {"accel (c)"}},
        {"two spellings of the displacement in one simulation",
         {{0, "displacements", 0}, {0, "nodal displacement", 0}},
         true,
         "data type 'nodal displacement' is already in simulation 0 's0' (as 'displacements')",
         {}},
        {"a spelling of the displacement changing kind",
         {{0, "displacements", 0}, {1, "Nodal Displacement", 1}},
         true,
         "has kind 1 in simulation 1 's1' but kind 0 in simulation 0 (as 'displacements')",
         {}},
        {"a complex vector and a scalar shown alike",
         {{0, "velocity (c)", 4}, {0, "velocity", 1}},
         true,
         "data type 'velocity' (kind 1) would show as 'velocity', as data type "
         "'velocity (c)' (kind 4) does",
         {}},
        {"complex data renames a real vector onto another name",
         {{0, "foo", 0}, {0, "foo_NC", 1}, {0, "v (c)", 4}},
         true,
         "would show as 'foo_NC'",
         {}},
        {"a triple shown as a scalar's name",
         {{0, "x:Phase", 1}, {0, "x", 7}},
         false,
         "data type 'x' (kind 7) would show as 'x:Phase'",
         {}},
        {"a name the reader renames",
         {{0, "displacements", 0}},
         false,
         "data type 'displacements' of kind 0 would read back as 'displacement'",
         {}},
        {"a complex vector name too long once stored",
         {{0, std::string(27, 'a'), 4}},
         false,
         "is stored as '" + std::string(27, 'a') + " (c)', 31 characters",
         {}},
        {"real vectors marked as in a complex result",
         {{0, "v", 4}, {0, "displacement_NC", 0}},
         false,
         "",
         {"v (c)", "displacement"}},
        {"a real vector unmarked in a complex result",
         {{0, "v", 4}, {0, "displacement", 0}},
         false,
         "would read back as 'displacement_NC' in a result with complex data",
         {}},
        {"complex data after an unmarked real vector",
         {{0, "d", 0}, {1, "v", 6}},
         false,
         "data type 'v' of kind 6 makes the result hold complex data, so data type 'd' would "
         "read back as 'd_NC'",
         {}},
        {"a marked real vector without complex data",
         {{0, "d_NC", 0}},
         false,
         "data type 'd_NC' would read back as 'd' in a result without complex data",
         {}},
    };
    const std::int32_t ids[] = {1};
    const float values[] = {1, 2, 3, 4, 5, 6};
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.what);
        reswriter::TempDir dir;
        kvres::WriterOptions options;
        options.storedNames = c.storedNames;
        kvres::Writer writer(dir.File("n.res"), options);
        std::string refusal;
        try {
            int simulation = -1;
            for (const Block& block : c.blocks) {
                while (simulation < block.simulation) {
                    writer.BeginSimulation("s" + std::to_string(++simulation));
                }
                writer.WriteBlock(
                    block.name, block.kind, ids, 1, values,
                    static_cast<std::size_t>(kvres::Writer::RealsPerRecord(block.kind)));
            }
            writer.Close();
        } catch (const kvres::InputError& error) {
            refusal = error.what();
        }
        if (!c.refusal.empty()) {
            EXPECT_NE(refusal.find(c.refusal), std::string::npos) << refusal;
            continue;
        }
        ASSERT_EQ(refusal, "");
        std::vector<std::string> stored;
        for (const auto& simulation : ReadStored(dir.File("n.res")).simulations) {
            for (const auto& block : simulation.blocks) {
                stored.push_back(block.name);
            }
        }
        EXPECT_EQ(stored, c.stored);
    }
}

// A name that changes kind: the reader reads the later block with the first
// kind's layout, so a copy by the row's own kind would invent records.
TEST(CopierNames, ANameThatChangesKindIsRefusedOrLeftOutNeverResized) {
    reswriter::TempDir dir;
    reswriter::ResFile file;
    file.encoding = reswriter::kInt4Real4LE;
    file.simulations.push_back({"s0", {{"displacements", 0, {{1, {1, 2, 3}}}}}});
    file.simulations.push_back({"s1", {{"Nodal Displacement", 1, {{1, {7}}, {2, {8}}}}}});
    reswriter::WriteFile(dir.File("in.res"), reswriter::Write(file));
    kvres::ResultCopier copier(dir.File("in.res"));
    for (const bool salvage : {false, true}) {
        SCOPED_TRACE(salvage ? "salvage" : "no salvage");
        kvres::Writer writer(dir.File("out.res"));
        kvres::ResultCopier::Options options;
        options.salvage = salvage;
        std::vector<std::string> dropped;
        try {
            for (int s = 0; s < copier.SimulationCount(); ++s) {
                copier.CopySimulation(writer, s, options, dropped);
            }
            writer.Close();
            EXPECT_TRUE(salvage);
        } catch (const kvres::ResultCopier::Damaged& damage) {
            EXPECT_FALSE(salvage);
            EXPECT_NE(std::string(damage.what()).find("a data type keeps one kind"),
                      std::string::npos)
                << damage.what();
            continue;
        }
        ASSERT_EQ(dropped.size(), 1u);
        EXPECT_NE(dropped[0].find("'Nodal Displacement'"), std::string::npos) << dropped[0];
        const auto stored = ReadStored(dir.File("out.res"));
        ASSERT_EQ(stored.simulations.size(), 2u);
        EXPECT_EQ(stored.simulations[0].blocks.size(), 1u);
        EXPECT_TRUE(stored.simulations[1].blocks.empty());
    }
}

} // namespace
