// The writer's refusals and limits: checked input with exact messages, NaN in
// Cray files, the split into series files at a lowered file limit, atomic
// replacement on failure, and the old series' leftover files.
#include "WriterTestSupport.h"

#include "TempDir.h"

#include "kvres/Writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using writertest::ReadStored;

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Put(const std::string& path, const std::string& contents) {
    std::ofstream(path, std::ios::binary) << contents;
}

std::vector<std::string> Names(const reswriter::TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.Path())) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

const std::int32_t kIds[] = {1, 2, 3, 4};
const float kValues[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};

struct Refusal {
    const char* what;
    std::function<void(kvres::Writer&)> call;
    const char* message;
    // Finishes what the failed call left open, if anything.
    std::function<void(kvres::Writer&)> recover = [](kvres::Writer&) {};
};

TEST(WriterInput, EveryMistakeIsNamedAndTheWriterGoesOn) {
    const std::string name32(32, 'n');
    std::string accented; // 16 characters, 32 bytes
    for (int i = 0; i < 16; ++i) {
        accented += "\xC3\xA9";
    }
    const std::string accentedMessage =
        "label '" + accented + "' has 16 characters, 32 bytes; its field holds 31 bytes";
    const std::string name31(31, 'n');
    const std::string name30(30, 'n');
    const std::vector<Refusal> refusals = {
        {"block before simulation",
         [](kvres::Writer& w) { w.WriteBlock("t", 1, kIds, 4, kValues, 4); },
         "block 't' comes before any simulation"},
        {"label too long", [&](kvres::Writer& w) { w.BeginSimulation(name32); },
         "label 'nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn' has 32 characters; its field holds 31"},
        {"label too long in bytes", [&](kvres::Writer& w) { w.BeginSimulation(accented); },
         accentedMessage.c_str()},
        {"label with NUL", [](kvres::Writer& w) { w.BeginSimulation(std::string("a\0b", 3)); },
         "label 'a' holds a NUL character"},
        {"kind 9",
         [](kvres::Writer& w) {
             w.BeginSimulation("s");
             w.WriteBlock("t", 9, kIds, 4, kValues, 4);
         },
         "data type 't' has kind 9; kinds are 0 to 8"},
        {"kind -1",
         [](kvres::Writer& w) {
             w.BeginSimulation("s");
             w.WriteBlock("t", -1, kIds, 4, kValues, 4);
         },
         "data type 't' has kind -1; kinds are 0 to 8"},
        {"values do not fit the kind",
         [](kvres::Writer& w) {
             w.BeginSimulation("s");
             w.WriteBlock("t", 0, kIds, 4, kValues, 4);
         },
         "data type 't' of kind 0 takes 3 values per record: 4 ids need 12 values, 4 were "
         "given"},
        {"name too long",
         [&](kvres::Writer& w) {
             w.BeginSimulation("s");
             w.WriteBlock(name31, 1, kIds, 4, kValues, 4);
         },
         "data type name 'nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn' has 31 characters; its field holds "
         "30"},
        {"name twice in a simulation",
         [](kvres::Writer& w) {
             w.BeginSimulation("s");
             w.WriteBlock("t", 1, kIds, 4, kValues, 4);
             w.WriteBlock("t", 1, kIds, 4, kValues, 4);
         },
         "data type 't' is already in simulation 0 's'; a reader would read only the first"},
        {"kind changes",
         [](kvres::Writer& w) {
             w.BeginSimulation("s");
             w.WriteBlock("t", 1, kIds, 4, kValues, 4);
             w.BeginSimulation("u");
             w.WriteBlock("t", 3, kIds, 4, kValues, 4);
         },
         "data type 't' has kind 3 in simulation 1 'u' but kind 1 in simulation 0; a data type "
         "keeps one kind"},
        {"too many records",
         [](kvres::Writer& w) {
             w.BeginSimulation("s");
             w.BeginBlock("t", 1, 2);
             w.WriteRecords(kIds, kValues, 3);
         },
         "data type 't' takes 2 records; 3 were given",
         [](kvres::Writer& w) {
             w.WriteRecords(kIds, kValues, 2);
             w.EndBlock();
         }},
        {"unfinished block",
         [](kvres::Writer& w) {
             w.BeginSimulation("s");
             w.BeginBlock("t", 1, 2);
             w.WriteRecords(kIds, kValues, 1);
             w.EndBlock();
         },
         "block 't' is unfinished: 1 of 2 records written",
         [](kvres::Writer& w) {
             w.WriteRecords(kIds, kValues, 1);
             w.EndBlock();
         }},
        {"NaN in a Cray file",
         [](kvres::Writer& w) {
             w.BeginSimulation("Time = 2");
             const float values[] = {1, 2, std::nanf(""), 4};
             w.WriteBlock("stress", 3, kIds, 4, values, 4);
         },
         "NaN cannot be stored in a Cray file: simulation 0 'Time = 2', data type 'stress', "
         "entity 3 (record 2, value 0); allow NaN as infinity to write it anyway"},
    };
    for (const Refusal& refusal : refusals) {
        reswriter::TempDir dir;
        const std::string path = dir.File("out.res");
        kvres::WriterOptions options;
        options.encoding = kvres::Encoding::I8BE;
        kvres::Writer writer(path, options);
        std::string message = "no exception";
        try {
            refusal.call(writer);
        } catch (const kvres::InputError& error) {
            message = error.what();
        }
        std::string expected = refusal.message;
        const std::size_t mark = expected.find('%');
        if (mark != std::string::npos) {
            expected.replace(mark, 1, path);
        }
        EXPECT_EQ(message, expected) << refusal.what;
        refusal.recover(writer);
        // The writer is as before the failed call: a valid result still comes out.
        writer.BeginSimulation("after");
        writer.WriteBlock(name30, 1, kIds, 4, kValues, 4);
        writer.Close();
        const auto stored = ReadStored(path);
        ASSERT_TRUE(stored.opened) << refusal.what;
        EXPECT_EQ(stored.simulations.back().label, "after") << refusal.what;
        EXPECT_EQ(stored.simulations.back().blocks.back().name, name30) << refusal.what;
    }
}

TEST(WriterInput, NaNBecomesInfinityWhenAllowedAndStaysInFourByteFiles) {
    reswriter::TempDir dir;
    const float values[] = {std::nanf(""), -std::nanf(""), 1.0f, 2.0f};
    for (auto encoding : {kvres::Encoding::I8LE, kvres::Encoding::I4BE}) {
        const std::string path = dir.File(std::string(kvres::EncodingName(encoding)) + ".res");
        kvres::WriterOptions options;
        options.encoding = encoding;
        options.nanAsInfinity = true;
        kvres::Writer writer(path, options);
        writer.BeginSimulation("s");
        writer.WriteBlock("t", 1, kIds, 4, values, 4);
        writer.Close();
        const auto block = ReadStored(path).simulations.at(0).blocks.at(0);
        if (encoding == kvres::Encoding::I8LE) {
            EXPECT_EQ(block.reals[0], INFINITY);
            EXPECT_EQ(block.reals[1], -INFINITY);
        } else {
            EXPECT_EQ(writertest::Bits(block.reals[0]), writertest::Bits(values[0]));
            EXPECT_EQ(writertest::Bits(block.reals[1]), writertest::Bits(values[1]));
        }
    }
}

// Writes `simulations` simulations of one 100-record scalar block each.
void WriteSteps(kvres::Writer& writer, int simulations, int blocksPerSimulation = 1) {
    std::vector<std::int32_t> ids(100);
    std::vector<float> values(100);
    for (int s = 0; s < simulations; ++s) {
        writer.BeginSimulation("Step " + std::to_string(s));
        for (int b = 0; b < blocksPerSimulation; ++b) {
            for (int i = 0; i < 100; ++i) {
                ids[i] = i + 1;
                values[i] = static_cast<float>(s * 1000 + b * 100 + i);
            }
            writer.WriteBlock("b" + std::to_string(b), 1, ids.data(), 100, values.data(), 100);
        }
    }
}

TEST(WriterSeries, AFullFileContinuesInTheNextFileOfTheSeries) {
    for (int blocks : {1, 3}) {
        const int steps = blocks == 1 ? 12 : 8;
        reswriter::TempDir dir;
        const std::string path = dir.File("run.res");
        // One simulation of `blocks` blocks is 4 + 35 + blocks * (4 + 800 + 39)
        // bytes; a file of 4000 bytes holds a few, so the third block of a
        // simulation may not fit and the simulation moves on whole.
        kvres::Writer writer(path, kvres::WriterOptions(), 4000);
        WriteSteps(writer, steps, blocks);
        writer.Close();
        const auto stored = ReadStored(path);
        ASSERT_TRUE(stored.opened);
        EXPECT_GT(stored.files.size(), 2u);
        EXPECT_EQ(static_cast<int>(stored.files.size()), writer.FileCount());
        for (std::int64_t size : stored.sizes) {
            EXPECT_LE(size, 4000);
        }
        ASSERT_EQ(stored.simulations.size(), static_cast<std::size_t>(steps));
        for (int s = 0; s < steps; ++s) {
            const auto& simulation = stored.simulations[s];
            EXPECT_EQ(simulation.label, "Step " + std::to_string(s));
            ASSERT_EQ(simulation.blocks.size(), static_cast<std::size_t>(blocks));
            for (int b = 0; b < blocks; ++b) {
                EXPECT_EQ(simulation.blocks[b].reals.at(99), s * 1000 + b * 100 + 99);
            }
        }
        EXPECT_EQ(fs::path(stored.files[1]).filename(), "run0.res");
    }
}

TEST(WriterSeries, RefusesWhatCannotFit) {
    reswriter::TempDir dir;
    struct Limit {
        const char* name;
        int simulations;
        int blocks;
        const char* message;
    };
    const Limit limits[] = {
        {"run.res", 40, 1, "the series of '%' is full: 11 files of at most 2000 bytes each"},
        {"run3.res", 3, 1,
         "the result does not fit one file (a file holds at most 2000 bytes), and '%' cannot "
         "continue in a series: "
         "a name ending in a digit is read on its own"},
        {"big.res", 1, 3,
         "simulation 0 'Step 0' does not fit one file: with data type 'b2' (100 records) it "
         "needs 2761 bytes, a file holds 2000"},
    };
    for (const Limit& limit : limits) {
        const std::string path = dir.File(limit.name);
        Put(path, "old contents");
        std::string message = "no exception";
        {
            kvres::Writer writer(path, kvres::WriterOptions(), 2000);
            try {
                WriteSteps(writer, limit.simulations, limit.blocks);
                writer.Close();
            } catch (const kvres::WriteError& error) {
                message = error.what();
            }
        }
        std::string expected = limit.message;
        if (expected.find('%') != std::string::npos) {
            expected.replace(expected.find('%'), 1, path);
        }
        EXPECT_EQ(message, expected);
        EXPECT_EQ(Contents(path), "old contents");
        fs::remove(path);
        EXPECT_TRUE(Names(dir).empty()) << "left behind: " << Names(dir).front();
    }
}

TEST(WriterAtomic, AnExceptionMidwayLeavesTheOldFileAndNothingElse) {
    reswriter::TempDir dir;
    const std::string path = dir.File("out.res");
    Put(path, "old result");
    try {
        kvres::Writer writer(path);
        WriteSteps(writer, 3);
        throw std::runtime_error("the caller fails");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(Contents(path), "old result");
    EXPECT_EQ(Names(dir), std::vector<std::string>{"out.res"});
}

#ifndef _WIN32
// A real write error: the child process may not write files beyond 3000
// bytes, so the disk "fills" midway through the result.
TEST(WriterAtomic, AWriteErrorMidwayLeavesTheOldFileAndNothingElse) {
    reswriter::TempDir dir;
    const std::string path = dir.File("out.res");
    Put(path, "old result");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{3000, 3000};
        setrlimit(RLIMIT_FSIZE, &limit);
        int code = 1;
        try {
            kvres::Writer writer(path);
            WriteSteps(writer, 20);
            writer.Close();
        } catch (const kvres::InputError&) {
            code = 3;
        } catch (const kvres::WriteError& error) {
            code = std::string(error.what()).find("cannot write '" + path + "'") == 0 ? 0 : 2;
        }
        _exit(code);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(Contents(path), "old result");
    EXPECT_EQ(Names(dir), std::vector<std::string>{"out.res"});
}
#endif

TEST(WriterSeries, FilesOfTheOldSeriesThatAreNotRewrittenGo) {
    reswriter::TempDir dir;
    for (const char* old : {"run0.res", "run1.res", "RUN2.RES", "run10.res", "other.res"}) {
        Put(dir.File(old), "old");
    }
    // No result is being replaced: the files go only when asked.
    kvres::WriterOptions options;
    options.replaceSeries = true;
    kvres::Writer writer(dir.File("run.res"), options, 4000);
    WriteSteps(writer, 5);
    writer.Close();
    ASSERT_EQ(writer.FileCount(), 2);
    EXPECT_EQ(Names(dir),
              (std::vector<std::string>{"other.res", "run.res", "run0.res", "run10.res"}));
    EXPECT_EQ(ReadStored(dir.File("run.res")).simulations.size(), 5u);
}

} // namespace
