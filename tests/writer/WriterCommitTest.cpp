// The writer's commit: a failure of any file-system step, or the death of
// the process between any two steps, leaves the target reading as the whole
// old result or the whole new one; the old target's permissions carry over;
// files that join the target's series without belonging to a result being
// replaced are never removed unasked; temporary files of dead writers go.
#include "WriterTestSupport.h"

#include "TempDir.h"

#include "kvres/Writer.h"
#include "writer/OwnFileName.h"
#include "writer/SeriesCommit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using kvres::detail::SeriesCommit;
using writertest::ReadStored;

std::vector<std::string> Names(const reswriter::TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.Path())) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

void Put(const std::string& path, const std::string& contents) {
    std::ofstream(path, std::ios::binary) << contents;
}

// A result of `simulations` labelled "<tag> <i>", in files of 1000 bytes at
// most, so that a few simulations make a series.
void WriteResult(const std::string& path, const std::string& tag, int simulations) {
    kvres::Writer writer(path, kvres::WriterOptions(), 1000);
    const std::int32_t ids[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    float values[10];
    for (int s = 0; s < simulations; ++s) {
        writer.BeginSimulation(tag + " " + std::to_string(s));
        for (int i = 0; i < 10; ++i) {
            values[i] = static_cast<float>(s * 10 + i);
        }
        writer.WriteBlock("t", 1, ids, 10, values, 10);
        writer.WriteBlock("u", 1, ids, 10, values, 10);
    }
    writer.Close();
}

// What the target reads as: every simulation's label and values, over the
// series a reader finds.
std::string ReadsAs(const std::string& path) {
    const writertest::StoredResult stored = ReadStored(path);
    if (!stored.opened) {
        return "(nothing)";
    }
    std::string text;
    for (const auto& simulation : stored.simulations) {
        text += simulation.label + ":";
        for (const auto& block : simulation.blocks) {
            text += block.name + std::to_string(block.ids.size());
            for (float value : block.reals) {
                text += "," + std::to_string(value);
            }
        }
        text += ";";
    }
    return text;
}

// A folder holding an old result of three files; `Old` and `New` are what
// the target reads as before and after a whole commit of a two-file result.
struct Replacement {
    reswriter::TempDir dir;
    std::string target = dir.File("run.res");
    std::string before;
    std::string after;
    std::vector<std::string> oldNames;

    Replacement() {
        {
            reswriter::TempDir scratch;
            WriteResult(scratch.File("run.res"), "new", 3);
            after = ReadsAs(scratch.File("run.res"));
        }
        WriteResult(target, "old", 5);
        before = ReadsAs(target);
        oldNames = Names(dir);
    }

    // Writes the new result; true when Close() succeeded.
    bool WriteNew() {
        try {
            WriteResult(target, "new", 3);
            return true;
        } catch (const kvres::WriteError&) {
            return false;
        }
    }
};

struct HookGuard {
    ~HookGuard() { SeriesCommit::SetFaultHook(nullptr); }
};

TEST(WriterCommit, AFailedStepLeavesTheOldResultWholeAndNothingElse) {
    HookGuard guard;
    int failAt = 1;
    for (;; ++failAt) {
        Replacement replacement;
        ASSERT_EQ(replacement.oldNames.size(), 3u);
        ASSERT_NE(replacement.before, replacement.after);
        int step = 0;
        SeriesCommit::SetFaultHook(
            [&](const char*, const std::string&) { return ++step == failAt ? EIO : 0; });
        const bool written = replacement.WriteNew();
        SeriesCommit::SetFaultHook(nullptr);
        SCOPED_TRACE("failing step " + std::to_string(failAt) + " of " + std::to_string(step));
        if (step < failAt) {
            ASSERT_TRUE(written);
            EXPECT_EQ(ReadsAs(replacement.target), replacement.after);
            EXPECT_EQ(Names(replacement.dir), (std::vector<std::string>{"run.res", "run0.res"}));
            break;
        }
        // A failed removal of an old file after the new result is in place
        // leaves a hidden file behind, but the commit has succeeded.
        if (written) {
            EXPECT_EQ(ReadsAs(replacement.target), replacement.after);
            continue;
        }
        EXPECT_EQ(ReadsAs(replacement.target), replacement.before);
        EXPECT_EQ(Names(replacement.dir), replacement.oldNames);
    }
    // The journal, three old files aside, two new in, three removals, the
    // journal's removal.
    EXPECT_EQ(failAt, 11);
}

// A one-file result replacing a one-file result (or none) is one rename: the
// name never reads as neither result, and no journal or hidden file is made.
TEST(WriterCommit, AOneFileResultReplacesAnotherInOneStep) {
    HookGuard guard;
    std::string after;
    {
        reswriter::TempDir scratch;
        WriteResult(scratch.File("one.res"), "new", 1);
        after = ReadsAs(scratch.File("one.res"));
    }
    for (const bool existed : {true, false}) {
        for (const int failure : {0, EIO}) {
            SCOPED_TRACE(std::string(existed ? "replacing" : "new") + (failure ? ", failing" : ""));
            reswriter::TempDir dir;
            const std::string target = dir.File("one.res");
            if (existed) {
                WriteResult(target, "old", 1);
            }
            const std::string before = ReadsAs(target);
            std::vector<std::string> steps;
            SeriesCommit::SetFaultHook([&](const char* step, const std::string&) {
                steps.push_back(step);
                return failure;
            });
            bool written = true;
            try {
                WriteResult(target, "new", 1);
            } catch (const kvres::WriteError&) {
                written = false;
            }
            SeriesCommit::SetFaultHook(nullptr);
            EXPECT_EQ(steps, std::vector<std::string>{"rename"});
            EXPECT_EQ(written, failure == 0);
            EXPECT_EQ(ReadsAs(target), written ? after : before);
            EXPECT_EQ(Names(dir), existed || written ? std::vector<std::string>{"one.res"}
                                                     : std::vector<std::string>{});
        }
    }
}

TEST(WriterCommit, ANewFileThatCannotTakeItsNameUndoesTheCommit) {
    reswriter::TempDir dir;
    const std::string target = dir.File("run.res");
    WriteResult(target, "old", 5); // run.res, run0.res, run1.res
    fs::rename(dir.File("run0.res"), dir.File("run2.res"));
    fs::create_directory(dir.File("run0.res"));
    const std::string before = ReadsAs(target);
    EXPECT_THROW(WriteResult(target, "new", 3), kvres::WriteError);
    EXPECT_EQ(ReadsAs(target), before);
    EXPECT_EQ(Names(dir),
              (std::vector<std::string>{"run.res", "run0.res", "run1.res", "run2.res"}));
}

#ifndef _WIN32
TEST(WriterCommit, AWriterKilledBetweenAnyTwoStepsIsRolledBackOrFinishedByTheNext) {
    HookGuard guard;
    for (int killAt = 1;; ++killAt) {
        Replacement replacement;
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            int step = 0;
            SeriesCommit::SetFaultHook([&](const char*, const std::string&) {
                if (++step == killAt) {
                    _exit(0);
                }
                return 0;
            });
            _exit(replacement.WriteNew() ? 1 : 2);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        SCOPED_TRACE("killed before step " + std::to_string(killAt));
        // The next writer of the target settles what the killed one left.
        kvres::Writer(replacement.target).Abort();
        const std::string now = ReadsAs(replacement.target);
        EXPECT_TRUE(now == replacement.before || now == replacement.after) << now;
        for (const std::string& name : Names(replacement.dir)) {
            EXPECT_NE(name[0], '.') << "left behind: " << name;
        }
        if (WEXITSTATUS(status) == 1) {
            EXPECT_EQ(now, replacement.after);
            EXPECT_EQ(killAt, 11);
            break;
        }
        ASSERT_EQ(WEXITSTATUS(status), 0);
    }
}

TEST(WriterCommit, TheNewFileKeepsTheOldTargetsPermissions) {
    reswriter::TempDir dir;
    const std::string target = dir.File("run.res");
    const mode_t mask = ::umask(022);
    ::umask(mask);
    WriteResult(target, "first", 1);
    struct stat info;
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);
    for (mode_t mode : {0600, 0640, 0604}) {
        ASSERT_EQ(::chmod(target.c_str(), mode), 0);
        WriteResult(target, "again", 3);
        for (const char* name : {"run.res", "run0.res"}) {
            ASSERT_EQ(::stat(dir.File(name).c_str(), &info), 0);
            EXPECT_EQ(info.st_mode & 0777, mode) << name;
        }
    }
}

// The writer's own names are made and read back by one rule: each made name
// parses to its parts, no two are alike, and other names do not parse.
TEST(WriterCommit, OwnFileNamesReadBackAndNothingElseDoes) {
    std::vector<std::string> made;
    for (const std::string name : {"run.res", "a", "RUN0.RES", ".x.res", "b.kvres-1-2.tmp"}) {
        for (const char* extension : {"tmp", "old", "commit"}) {
            made.push_back(kvres::detail::OwnFileName(name, extension));
            std::string parsedName;
            std::string parsedExtension;
            long pid = 0;
            ASSERT_TRUE(
                kvres::detail::ParseOwnFileName(made.back(), parsedName, pid, parsedExtension))
                << made.back();
            EXPECT_EQ(parsedName, name);
            EXPECT_EQ(pid, kvres::detail::ProcessId());
            EXPECT_EQ(parsedExtension, extension);
        }
    }
    std::sort(made.begin(), made.end());
    EXPECT_EQ(std::adjacent_find(made.begin(), made.end()), made.end());
    for (const std::string other :
         {"run.res", ".run.res.tmp", ".run.res.kvres--1.tmp", ".run.res.kvres-12-.tmp",
          ".run.res.kvres-12-3", "run.res.kvres-12-3.tmp", ".run.res.kvres-1234567890-1.tmp"}) {
        std::string name;
        std::string extension;
        long pid = 0;
        EXPECT_FALSE(kvres::detail::ParseOwnFileName(other, name, pid, extension)) << other;
    }
}

TEST(WriterCommit, TemporaryFilesOfDeadWritersOfTheTargetGoAndNothingElse) {
    reswriter::TempDir dir;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        _exit(0);
    }
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    const std::string dead = std::to_string(child);
    const std::string alive = std::to_string(::getpid());
    const std::vector<std::string> gone = {".run.res.kvres-" + dead + "-3.tmp",
                                           ".RUN0.RES.kvres-" + dead + "-17.tmp"};
    const std::vector<std::string> kept = {".other.res.kvres-" + dead + "-1.tmp",
                                           ".run.res.kvres-" + alive + "-999.tmp",
                                           ".run.res.kvres-" + dead + "-2.old", "run.res.tmp"};
    for (const auto& names : {gone, kept}) {
        for (const std::string& name : names) {
            Put(dir.File(name), "x");
        }
    }
    kvres::Writer(dir.File("run.res")).Abort();
    std::vector<std::string> expected = kept;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Names(dir), expected);
}
#endif

struct UnaskedCase {
    const char* what;
    std::vector<std::string> files; // "NAME" or "NAME=result" for a .res result
    bool replaceSeries;
    std::vector<std::string> refused;   // named by the refusal, in any order
    std::vector<std::string> removed;   // reported by RemovedFiles()
    std::vector<std::string> remaining; // after the write
};

TEST(WriterCommit, FilesOfNoResultBeingReplacedAreNeverRemovedUnasked) {
    const std::vector<UnaskedCase> cases = {
        {"no target, stray members",
         {"run2.res", "RUN5.RES", "other.res"},
         false,
         {"run2.res", "RUN5.RES"},
         {},
         {}},
        {"no target, stray members, replacing asked for",
         {"run2.res", "RUN5.RES", "other.res"},
         true,
         {},
         {"RUN5.RES", "run2.res"},
         {"other.res", "run.res"}},
        {"the target is no result", {"run.res", "run3.res"}, false, {"run3.res"}, {}, {}},
        {"members of the result being replaced",
         {"run.res=result", "run2.res", "RUN5.RES", "run10.res", "run.res.bak"},
         false,
         {},
         {"RUN5.RES", "run2.res"},
         {"run.res", "run.res.bak", "run10.res"}},
        {"a target ending in a digit stands alone",
         {"run.res", "run70.res"},
         false,
         {},
         {},
         {"run.res", "run7.res", "run70.res"}},
    };
    for (const UnaskedCase& c : cases) {
        SCOPED_TRACE(c.what);
        reswriter::TempDir dir;
        for (const std::string& file : c.files) {
            const std::size_t equals = file.find('=');
            if (equals == std::string::npos) {
                Put(dir.File(file), "not a result");
            } else {
                WriteResult(dir.File(file.substr(0, equals)), "old", 1);
            }
        }
        const std::vector<std::string> before = Names(dir);
        kvres::WriterOptions options;
        options.replaceSeries = c.replaceSeries;
        const std::string target = dir.File(
            std::string(c.what).find("digit") != std::string::npos ? "run7.res" : "run.res");
        try {
            kvres::Writer writer(target, options);
            writer.BeginSimulation("new");
            writer.Close();
            EXPECT_TRUE(c.refused.empty());
            std::vector<std::string> removed;
            for (const std::string& file : writer.RemovedFiles()) {
                removed.push_back(fs::path(file).filename().string());
            }
            std::sort(removed.begin(), removed.end());
            EXPECT_EQ(removed, c.removed);
            EXPECT_EQ(Names(dir), c.remaining);
        } catch (const kvres::InputError& refusal) {
            ASSERT_FALSE(c.refused.empty()) << refusal.what();
            for (const std::string& name : c.refused) {
                EXPECT_NE(std::string(refusal.what()).find("'" + name + "'"), std::string::npos)
                    << refusal.what();
            }
            EXPECT_EQ(Names(dir), before);
        }
    }
}

// A closed writer refuses every further call with the closed-object words
// the reader uses too, and stays closed.
TEST(WriterCommit, AClosedWriterRefusesEveryCall) {
    reswriter::TempDir dir;
    kvres::Writer writer(dir.File("run.res"));
    writer.BeginSimulation("one");
    writer.Close();
    for (int call = 0; call < 2; ++call) {
        try {
            if (call == 0) {
                writer.BeginSimulation("two");
            } else {
                writer.Close();
            }
            ADD_FAILURE() << "call " << call << " did not throw";
        } catch (const kvres::InputError& error) {
            EXPECT_NE(std::string(error.what()).find("operation on a closed kvres::Writer of '"),
                      std::string::npos)
                << error.what();
        }
    }
}

TEST(WriterCommit, AStrayFileThatAppearsDuringTheWriteIsRefusedAtClose) {
    reswriter::TempDir dir;
    kvres::Writer writer(dir.File("run.res"));
    writer.BeginSimulation("new");
    Put(dir.File("run4.res"), "mine");
    EXPECT_THROW(writer.Close(), kvres::InputError);
    EXPECT_EQ(Names(dir).back(), "run4.res");
    fs::rename(dir.File("run4.res"), dir.File("kept.res"));
    writer.Close(); // the writer went on as it was
    EXPECT_EQ(ReadStored(dir.File("run.res")).simulations.size(), 1u);
}

} // namespace
