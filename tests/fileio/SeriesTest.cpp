// Discovery of a numbered file series in a real directory: membership, order,
// entries that must not join, and the forms of the path the caller gives.
#include "FileioTestSupport.h"

#include "fileio/DirectoryScanner.h"
#include "fileio/ResFileSet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#if !defined(_WIN32)
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace fileio_test;

namespace {

std::vector<std::string> Series(const ResFileSet& files) {
    std::vector<std::string> out;
    for (int i = 0; i < files.GetNumSeriesFiles(); ++i) {
        out.push_back(files.GetSeriesFileName(i));
    }
    return out;
}

void Touch(const TempDir& dir, std::initializer_list<const char*> names) {
    for (const char* name : names) {
        WriteFile(dir.File(name), Header(EncodeInt(1, Int4, false)));
    }
}

// Runs in `dir` as working directory for its lifetime.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::string& dir) : previous(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~WorkingDirectory() { std::filesystem::current_path(previous); }
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

private:
    std::filesystem::path previous;
};

} // namespace

struct MemberCase {
    const char* name;
    bool member;
};

class MembershipTest : public ::testing::TestWithParam<MemberCase> {};

TEST_P(MembershipTest, OneOptionalDigitBeforeTheExtension) {
    EXPECT_EQ(IsSeriesMember(GetParam().name, "run", ".res"), GetParam().member) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Names, MembershipTest,
    ::testing::Values(MemberCase{"run.res", true}, MemberCase{"run0.res", true},
                      MemberCase{"run9.res", true}, MemberCase{"RUN1.RES", true},
                      MemberCase{"Run5.Res", true}, MemberCase{"run10.res", false},
                      MemberCase{"run_1.res", false}, MemberCase{"runA.res", false},
                      MemberCase{"run1.dat", false}, MemberCase{"run.res.bak", false},
                      MemberCase{"run1", false}, MemberCase{"ru.res", false},
                      MemberCase{"", false}));

TEST(MembershipTest, WithoutExtension) {
    EXPECT_TRUE(IsSeriesMember("run", "run", ""));
    EXPECT_TRUE(IsSeriesMember("run7", "run", ""));
    EXPECT_FALSE(IsSeriesMember("run.res", "run", ""));
    EXPECT_FALSE(IsSeriesMember("run77", "run", ""));
    // An empty stem: a name that is one digit and the extension.
    EXPECT_TRUE(IsSeriesMember("3.res", "", ".res"));
}

TEST(WildcardTest, StarMatchesAnyRunIgnoringCase) {
    EXPECT_TRUE(WildcardMatch("run*.res", "run.res"));
    EXPECT_TRUE(WildcardMatch("run*.res", "RUN12.RES"));
    EXPECT_TRUE(WildcardMatch("run*", "run"));
    EXPECT_TRUE(WildcardMatch("*", ""));
    EXPECT_TRUE(WildcardMatch("r*n*.res", "rxxnyy.res"));
    EXPECT_TRUE(WildcardMatch("run*.res", "run.res.res"));
    EXPECT_FALSE(WildcardMatch("run*.res", "run.re"));
    EXPECT_FALSE(WildcardMatch("run*.res", "xrun.res"));
    EXPECT_FALSE(WildcardMatch("run", "run1"));
}

TEST(SplitFileNameTest, SplitsAtTheLastDot) {
    std::string stem;
    std::string extension;
    SplitFileName("a.b.res", stem, extension);
    EXPECT_EQ(stem, "a.b");
    EXPECT_EQ(extension, ".res");
    SplitFileName("plain", stem, extension);
    EXPECT_EQ(stem, "plain");
    EXPECT_EQ(extension, "");
    SplitFileName(".hidden", stem, extension);
    EXPECT_EQ(stem, "");
    EXPECT_EQ(extension, ".hidden");
}

TEST(SeriesTest, SiblingsWithOneDigitInByteWiseOrder) {
    TempDir dir;
    Touch(dir, {"run2.res", "run10.res", "run.res", "run1.res", "run_1.res", "runA.res", "run1.dat",
                "other.res"});
    ResFileSet files;
    ASSERT_TRUE(files.OpenFile(dir.File("run.res")));
    EXPECT_EQ(Series(files), (std::vector<std::string>{dir.File("run.res"), dir.File("run1.res"),
                                                       dir.File("run2.res")}));
}

TEST(SeriesTest, UpperCaseSiblingJoinsAndSortsFirst) {
    TempDir dir;
    Touch(dir, {"run.res", "RUN1.RES", "run0.res"});
    ResFileSet files;
    ASSERT_TRUE(files.OpenFile(dir.File("run.res")));
    EXPECT_EQ(Series(files), (std::vector<std::string>{dir.File("RUN1.RES"), dir.File("run.res"),
                                                       dir.File("run0.res")}));
}

TEST(SeriesTest, BackslashSeparatesFoldersOnlyOnWindows) {
    TempDir dir;
    Touch(dir, {"run.res", "run1.res", "run10.res"});
    std::string windowsStyle = dir.File("run.res");
    std::replace(windowsStyle.begin(), windowsStyle.end(), '/', '\\');
    ResFileSet files;
#if defined(_WIN32)
    EXPECT_EQ(files.DiscoverSeries(windowsStyle), 2);
    EXPECT_EQ(Series(files), (std::vector<std::string>{dir.File("run.res"), dir.File("run1.res")}));
#else
    // Elsewhere a backslash is part of a name: no folder of that name exists.
    EXPECT_EQ(files.DiscoverSeries(windowsStyle), 0);
    // A file whose name holds one opens as itself, with its own series.
    Touch(dir, {"back\\slash.res", "back\\slash2.res", "slash.res"});
    ASSERT_TRUE(files.OpenFile(dir.File("back\\slash.res")));
    EXPECT_EQ(Series(files), (std::vector<std::string>{dir.File("back\\slash.res"),
                                                       dir.File("back\\slash2.res")}));
#endif
}

TEST(SeriesTest, NumberedFileNamedDirectlyStandsAlone) {
    TempDir dir;
    Touch(dir, {"run.res", "run1.res", "run3.res"});
    ResFileSet files;
    ASSERT_TRUE(files.OpenFile(dir.File("run3.res")));
    EXPECT_EQ(Series(files), std::vector<std::string>{dir.File("run3.res")});
}

#if !defined(_WIN32)
// FIFOs and symbolic links are POSIX file kinds; the Windows build checks its
// hidden, system and directory attributes in tests/windows instead.
TEST(SeriesTest, DirectoriesAndNonRegularFilesNeverJoin) {
    TempDir dir;
    Touch(dir, {"run.res", "run2.res"});
    std::filesystem::create_directory(dir.File("run1.res"));
    std::filesystem::create_directory(dir.File("RUN.RES"));
    ASSERT_EQ(mkfifo(dir.File("run3.res").c_str(), 0600), 0);
    std::filesystem::create_directory_symlink(dir.File("run1.res"), dir.File("run4.res"));
    std::filesystem::create_symlink(dir.File("missing"), dir.File("run5.res"));
    std::filesystem::create_symlink(dir.File("run2.res"), dir.File("run6.res"));
    ResFileSet files;
    ASSERT_TRUE(files.OpenFile(dir.File("run.res")));
    // A link to a regular file reads as that file and joins.
    EXPECT_EQ(Series(files), (std::vector<std::string>{dir.File("run.res"), dir.File("run2.res"),
                                                       dir.File("run6.res")}));
}
#endif

#if !defined(_WIN32)
// A folder whose entries cannot be listed (search permission only) still
// lets the file named be read, alone. Root lists every folder, so the open
// is made by a child that gives up root first.
TEST(SeriesTest, UnlistableFolderStillOpensTheFileNamed) {
    TempDir dir;
    const std::string folder = dir.File("locked");
    std::filesystem::create_directory(folder);
    for (const char* name : {"/run.res", "/run1.res"}) {
        WriteFile(folder + name, Header(EncodeInt(1, Int4, false)));
        ASSERT_EQ(chmod((folder + name).c_str(), 0644), 0);
    }
    ASSERT_EQ(chmod(dir.Path().c_str(), 0711), 0);
    ASSERT_EQ(chmod(folder.c_str(), 0711), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(3);
        }
        ResFileSet files;
        const bool opened = files.OpenFile(folder + "/run.res");
        const bool alone =
            files.GetNumSeriesFiles() == 1 && files.GetSeriesFileName(0) == folder + "/run.res";
        _exit(opened && alone ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    chmod(folder.c_str(), 0755);
}
#endif

TEST(SeriesTest, HiddenEntriesJoinOnlyWhenNamedThemselves) {
    TempDir dir;
    Touch(dir, {".run.res", ".run1.res", ".RUN2.res"});
    ResFileSet files;
    ASSERT_TRUE(files.OpenFile(dir.File(".run.res")));
    EXPECT_EQ(Series(files), std::vector<std::string>{dir.File(".run.res")});
}

TEST(SeriesTest, PathWithoutDirectoryPartUsesTheWorkingDirectory) {
    TempDir dir;
    Touch(dir, {"run.res", "run1.res"});
    WorkingDirectory here(dir.Path().string());
    ResFileSet files;
    ASSERT_TRUE(files.OpenFile("run.res"));
    EXPECT_EQ(Series(files), (std::vector<std::string>{"./run.res", "./run1.res"}));
    // The user's name is not an entry, so reading goes through the entries.
    ASSERT_TRUE(files.OpenFile(files.GetSeriesFileName(1)));
    EXPECT_EQ(files.GetNumSeriesFiles(), 2);
}

TEST(SeriesTest, NameWithoutExtension) {
    TempDir dir;
    Touch(dir, {"run", "run1", "run12", "run.res", "runx"});
    ResFileSet files;
    ASSERT_TRUE(files.OpenFile(dir.File("run")));
    EXPECT_EQ(Series(files), (std::vector<std::string>{dir.File("run"), dir.File("run1")}));
}

TEST(SeriesTest, OpeningEntriesLeavesTheListAlone) {
    TempDir dir;
    Touch(dir, {"run.res", "run1.res", "run2.res"});
    ResFileSet files;
    ASSERT_TRUE(files.OpenFile(dir.File("run.res")));
    const std::vector<std::string> before = Series(files);
    for (int k = 0; k < 3; ++k) {
        ASSERT_TRUE(files.OpenFile(files.GetSeriesFileName(k)));
        EXPECT_EQ(Series(files), before);
    }
}

TEST(SeriesTest, NothingQualifies) {
    TempDir dir;
    ResFileSet files;
    EXPECT_EQ(files.DiscoverSeries(dir.File("absent.res")), 0);
    EXPECT_EQ(files.DiscoverSeries(dir.File("nodir/absent.res")), 0);
    EXPECT_EQ(files.GetNumSeriesFiles(), 0);
}

TEST(SeriesTest, FailedDetectionKeepsThePreviousList) {
    TempDir dir;
    Touch(dir, {"run.res", "run1.res"});
    WriteFile(dir.File("bad.res"), Bytes(50, 0));
    ResFileSet files;
    ASSERT_TRUE(files.OpenFile(dir.File("run.res")));
    EXPECT_FALSE(files.OpenFile(dir.File("bad.res")));
    EXPECT_EQ(files.GetNumSeriesFiles(), 2);
}

#if !defined(_WIN32)
// Windows' C runtime opens no narrow path longer than MAX_PATH, so a host there
// cannot hand the reader such a path in the first place.
TEST(SeriesTest, LongPathsNeedNoFixedBuffer) {
    TempDir dir;
    std::string deep = dir.Path().string();
    for (int i = 0; i < 6; ++i) {
        deep += "/" + std::string(200, static_cast<char>('a' + i));
    }
    std::filesystem::create_directories(deep);
    const std::string stem(150, 'r');
    WriteFile(deep + "/" + stem + ".res", Header(EncodeInt(1, Int4, false)));
    WriteFile(deep + "/" + stem + "4.res", Header(EncodeInt(1, Int4, false)));
    ResFileSet files;
    ASSERT_GT(deep.size() + stem.size(), 1024u);
    ASSERT_TRUE(files.OpenFile(deep + "/" + stem + ".res"));
    EXPECT_EQ(Series(files),
              (std::vector<std::string>{deep + "/" + stem + ".res", deep + "/" + stem + "4.res"}));
}
#endif
