// Series discovery and file access as the host's platform does them: the C
// runtime's _findfirst64i32 enumeration with real hidden, system and directory
// attributes, drive-letter paths with backslashes, and 64-bit stream positions.
#include "fileio/DirectoryScanner.h"
#include "fileio/NativePath.h"
#include "fileio/ResFile.h"
#include "fileio/ResFileSet.h"

#include "ResWriter.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using reswriter::TempDir;

// A readable one-simulation .res file, so that OpenFile's encoding test passes.
void WriteResFile(const std::string& path) {
    reswriter::ResFile file;
    file.simulations.push_back({"Time = 1", {{"pressure", 1, {{7, {1.5f}}}}}});
    reswriter::WriteFile(path, reswriter::Write(file));
}

void SetAttributes(const std::string& path, DWORD attributes) {
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), attributes)) << path;
    ASSERT_EQ(GetFileAttributesA(path.c_str()) & attributes, attributes) << path;
}

// The directory in native form: drive letter and backslashes, "C:\...\kvres-test-...".
std::string NativeDir(const TempDir& dir) {
    return dir.Path().string();
}

// What discovery reports for a directory: its name with forward slashes and a final "/".
std::string Prefix(const TempDir& dir) {
    return dir.Path().generic_string() + "/";
}

std::vector<std::string> Series(ResFileSet& files) {
    std::vector<std::string> names;
    for (int i = 0; i < files.GetNumSeriesFiles(); ++i) {
        names.push_back(files.GetSeriesFileName(i));
    }
    return names;
}

// The first entry the platform delivers for `pattern`; discovery handles it on its own.
std::string FirstDelivered(const std::string& pattern) {
    DirectoryScanner scanner;
    DirectoryEntry entry;
    return scanner.First(pattern, entry) ? entry.name : std::string();
}

TEST(WindowsSeriesDiscovery, TempDirectoryIsOnADriveLetter) {
    TempDir dir;
    const std::string native = NativeDir(dir);
    ASSERT_GE(native.size(), 3u);
    EXPECT_EQ(native[1], ':');
    EXPECT_EQ(native[2], '\\');
}

TEST(WindowsSeriesDiscovery, BackslashPathSkipsHiddenSystemAndDirectoryMembers) {
    TempDir dir;
    const std::string native = NativeDir(dir) + "\\";
    for (const char* name : {"run.res", "RUN1.RES", "run3.res", "run4.res", "run5.res", "Run7.res",
                             "run10.res", "run_1.res", "runA.res", "run1.dat", "other.res"}) {
        WriteResFile(native + name);
    }
    ASSERT_TRUE(CreateDirectoryA((native + "run2.res").c_str(), nullptr));
    SetAttributes(native + "run3.res", FILE_ATTRIBUTE_HIDDEN);
    SetAttributes(native + "run5.res", FILE_ATTRIBUTE_SYSTEM);
    // The platform lists names in case-insensitive order: the named file comes first.
    ASSERT_EQ(FirstDelivered(Prefix(dir) + "run*.res"), "run.res");

    ResFileSet files;
    ASSERT_TRUE(files.OpenFile(native + "run.res"));
    const std::string prefix = Prefix(dir);
    EXPECT_EQ(prefix.substr(0, 3), NativeDir(dir).substr(0, 2) + "/");
    // Byte-wise order: upper-case letters before lower-case ones, "." before digits.
    EXPECT_EQ(Series(files), (std::vector<std::string>{prefix + "RUN1.RES", prefix + "Run7.res",
                                                       prefix + "run.res", prefix + "run4.res"}));
}

TEST(WindowsSeriesDiscovery, EveryMemberOpensByItsListedName) {
    TempDir dir;
    const std::string native = NativeDir(dir) + "\\";
    for (const char* name : {"beam.res", "beam0.res", "BEAM1.res", "beam9.res"}) {
        WriteResFile(native + name);
    }
    ResFileSet files;
    ASSERT_TRUE(files.OpenFile(native + "beam.res"));
    const std::vector<std::string> series = Series(files);
    ASSERT_EQ(series.size(), 4u);
    for (const std::string& name : series) {
        ASSERT_TRUE(files.OpenFile(name)) << name;
        std::int32_t count = 0;
        ASSERT_TRUE(files.SeekTo(27 + 81 + 81));
        EXPECT_EQ(files.ReadInt(&count), 1) << name;
        EXPECT_EQ(count, 1) << name;
        files.CloseFile();
    }
    EXPECT_EQ(Series(files), series);
}

TEST(WindowsSeriesDiscovery, HiddenNamedFileDeliveredFirstIsKept) {
    TempDir dir;
    const std::string native = NativeDir(dir) + "\\";
    WriteResFile(native + "run.res");
    WriteResFile(native + "run1.res");
    WriteResFile(native + "run2.res");
    SetAttributes(native + "run.res", FILE_ATTRIBUTE_HIDDEN);
    SetAttributes(native + "run2.res", FILE_ATTRIBUTE_HIDDEN);
    ASSERT_EQ(FirstDelivered(Prefix(dir) + "run*.res"), "run.res");

    ResFileSet files;
    ASSERT_TRUE(files.OpenFile(native + "run.res"));
    EXPECT_EQ(Series(files),
              (std::vector<std::string>{Prefix(dir) + "run.res", Prefix(dir) + "run1.res"}));
}

// File names compare without case on Windows: the hidden file the user named
// as RUN.RES is the file run.res.
TEST(WindowsSeriesDiscovery, HiddenNamedFileTypedInAnotherCaseIsKept) {
    TempDir dir;
    const std::string native = NativeDir(dir) + "\\";
    WriteResFile(native + "run.res");
    WriteResFile(native + "run1.res");
    SetAttributes(native + "run.res", FILE_ATTRIBUTE_HIDDEN);

    ResFileSet files;
    ASSERT_TRUE(files.OpenFile(native + "RUN.RES"));
    EXPECT_EQ(Series(files),
              (std::vector<std::string>{Prefix(dir) + "run.res", Prefix(dir) + "run1.res"}));
}

TEST(WindowsSeriesDiscovery, SystemNamedFileDeliveredFirstIsKept) {
    TempDir dir;
    const std::string native = NativeDir(dir) + "\\";
    WriteResFile(native + "run.res");
    WriteResFile(native + "run1.res");
    SetAttributes(native + "run.res", FILE_ATTRIBUTE_SYSTEM);
    ASSERT_EQ(FirstDelivered(Prefix(dir) + "run*.res"), "run.res");

    ResFileSet files;
    ASSERT_TRUE(files.OpenFile(native + "run.res"));
    EXPECT_EQ(Series(files),
              (std::vector<std::string>{Prefix(dir) + "run.res", Prefix(dir) + "run1.res"}));
}

TEST(WindowsSeriesDiscovery, NumberedDriveLetterPathStandsAlone) {
    TempDir dir;
    const std::string native = NativeDir(dir) + "\\";
    for (const char* name : {"run.res", "run1.res", "run3.res"}) {
        WriteResFile(native + name);
    }
    ResFileSet files;
    ASSERT_TRUE(files.OpenFile(native + "run3.res"));
    EXPECT_EQ(Series(files), std::vector<std::string>{Prefix(dir) + "run3.res"});
}

TEST(WindowsSeriesDiscovery, RelativePathSearchesTheCurrentDirectory) {
    TempDir dir;
    WriteResFile(NativeDir(dir) + "\\case.res");
    WriteResFile(NativeDir(dir) + "\\case2.res");
    char previous[MAX_PATH];
    ASSERT_NE(GetCurrentDirectoryA(MAX_PATH, previous), 0u);
    ASSERT_TRUE(SetCurrentDirectoryA(NativeDir(dir).c_str()));
    ResFileSet files;
    const bool opened = files.OpenFile("case.res");
    const std::vector<std::string> series = Series(files);
    files.CloseFile();
    ASSERT_TRUE(SetCurrentDirectoryA(previous));
    ASSERT_TRUE(opened);
    EXPECT_EQ(series, (std::vector<std::string>{"./case.res", "./case2.res"}));
}

TEST(WindowsSeriesDiscovery, NoMatchLeavesTheListEmpty) {
    TempDir dir;
    WriteResFile(NativeDir(dir) + "\\other.res");
    ResFileSet files;
    EXPECT_EQ(files.DiscoverSeries(NativeDir(dir) + "\\run.res"), 0);
    EXPECT_EQ(files.GetNumSeriesFiles(), 0);
    EXPECT_FALSE(files.OpenFile(NativeDir(dir) + "\\run.res"));
}

// The stream repositions with 64-bit offsets: a sparse file past 4 GiB.
TEST(WindowsFileAccess, PositionsBeyondFourGigabytes) {
    TempDir dir;
    const std::string path = NativeDir(dir) + "\\large.res";
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size;
    size.QuadPart = 5LL * 1024 * 1024 * 1024 + 3;
    const bool sized = SetFilePointerEx(handle, size, nullptr, FILE_BEGIN) && SetEndOfFile(handle);
    CloseHandle(handle);
    ASSERT_TRUE(sized);

    ResFile file;
    ASSERT_TRUE(file.Open(path));
    EXPECT_EQ(file.Size(), size.QuadPart);
    ASSERT_TRUE(file.Seek(size.QuadPart - 1));
    EXPECT_EQ(file.Tell(), size.QuadPart - 1);
    EXPECT_EQ(std::fgetc(file.Stream()), 0);
    EXPECT_EQ(std::fgetc(file.Stream()), EOF);
    file.Close();
}

// Writes `bytes` to `path` through the wide, long-capable road.
void WriteNative(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::wstring wide;
    ASSERT_TRUE(NativePath::Widen(path, wide)) << path;
    std::FILE* file = _wfopen(wide.c_str(), L"wb");
    ASSERT_NE(file, nullptr) << path;
    EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    std::fclose(file);
}

// Beyond 259 characters the narrow search finds nothing; the file layer takes
// the long form, so the series is found and every member opens, whichever
// slashes the path is written with.
TEST(WindowsSeriesDiscovery, PathsBeyondTheClassicLimitFindTheirSeries) {
    TempDir dir;
    std::string folder = NativeDir(dir);
    while (folder.size() < 300) {
        folder += "\\" + std::string(40, 'd');
        std::wstring wide;
        ASSERT_TRUE(NativePath::Widen(folder, wide));
        ASSERT_TRUE(CreateDirectoryW(wide.c_str(), nullptr)) << folder;
    }
    reswriter::ResFile file;
    file.simulations.push_back({"Time = 1", {{"pressure", 1, {{7, {1.5f}}}}}});
    const std::vector<unsigned char> bytes = reswriter::Write(file);
    WriteNative(folder + "\\run.res", bytes);
    WriteNative(folder + "\\run1.res", bytes);

    std::string forward = folder;
    for (char& c : forward) {
        c = c == '\\' ? '/' : c;
    }
    for (const std::string& path : {folder + "\\run.res", forward + "/run.res"}) {
        ResFileSet files;
        ASSERT_TRUE(files.OpenFile(path)) << path;
        ASSERT_EQ(files.GetNumSeriesFiles(), 2) << path;
        for (int i = 0; i < 2; ++i) {
            EXPECT_TRUE(files.OpenFile(files.GetSeriesFileName(i))) << i;
        }
        files.CloseFile();
        EXPECT_EQ(NativePath::FileSize(path), static_cast<std::int64_t>(bytes.size()));
    }

    std::wstring wide;
    ASSERT_TRUE(NativePath::Widen(forward + "/run.res", wide));
    EXPECT_EQ(wide.compare(0, 4, L"\\\\?\\"), 0);
    EXPECT_EQ(wide.find(L'/'), std::wstring::npos);
    ASSERT_TRUE(NativePath::Widen("C:/short/run.res", wide));
    EXPECT_EQ(wide, L"C:/short/run.res"); // short names pass as they are
}

// A file name this process's code page cannot carry is never delivered as
// another name ('?' or a look-alike), which would then fail to open or open
// something else.
TEST(WindowsSeriesDiscovery, ANameTheCodePageCannotCarryIsNeverAnotherName) {
    if (GetACP() == CP_UTF8) {
        GTEST_SKIP() << "this process's code page carries every name";
    }
    TempDir dir;
    const std::wstring name = dir.Path().wstring() + L"\\\u7D50\u679C.res";
    std::FILE* file = _wfopen(name.c_str(), L"wb");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    DirectoryScanner scanner;
    DirectoryEntry entry;
    ASSERT_TRUE(scanner.First(Prefix(dir) + "*.res", entry));
    EXPECT_EQ(entry.name, "");
    EXPECT_NE(entry.attributes & DirectoryScanner::System, 0u);
}

} // namespace
