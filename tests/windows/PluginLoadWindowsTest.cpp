// kvres.dll inside a 32-bit Windows process, loaded as the host loads it:
// LoadLibrary, GetProcAddress of the plain name, a record of the host's own
// bytes at the host's offsets, and results opened by drive-letter paths.
// Offsets are spelled out here rather than taken from a shared declaration,
// so a layout slip on either side cannot hide.
#include "ResWriter.h"
#include "TempDir.h"

#include "rxDataSet.h"
#include "rxResult.h"
#include "rxSimulation.h"
#include "rxSubcase.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

static_assert(sizeof(void*) == 4, "the host is a 32-bit process");

extern "C" {
typedef unsigned char(__cdecl* SupplyFunction)(void* record);
typedef bool(__cdecl* IdentifyFunction)(const char* path);
typedef rxResult*(__cdecl* CreateFunction)(const char* path, rxAllocator* allocator);
}

constexpr std::size_t kNameOffset = 260;
constexpr std::size_t kFilterOffset = 516;
constexpr std::size_t kIdentifyOffset = 1540;
constexpr std::size_t kReservedOffset = 1544;
constexpr std::size_t kCreateOffset = 1548;
constexpr std::size_t kRecordBytes = 2048; // more than the plug-in may touch
constexpr unsigned char kHostByte = 0xCD;

// The folder of this test program, where the build puts kvres.dll too.
std::string ProgramFolder() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of("\\/"));
}

HMODULE ModuleOf(const void* address) {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCSTR>(address), &module);
    return module;
}

template <typename Pointer> Pointer PointerAt(const unsigned char* record, std::size_t offset) {
    std::uint32_t word = 0;
    std::memcpy(&word, record + offset, sizeof word);
    return reinterpret_cast<Pointer>(static_cast<std::uintptr_t>(word));
}

class PluginDll : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string path = ProgramFolder() + "\\kvres.dll";
        module = LoadLibraryA(path.c_str());
        ASSERT_NE(module, nullptr) << path << ": error " << GetLastError();
        supply = reinterpret_cast<SupplyFunction>(
            reinterpret_cast<void*>(GetProcAddress(module, "SupplyReaderFunctionTable")));
        ASSERT_NE(supply, nullptr);
        record.assign(kRecordBytes, kHostByte);
        ASSERT_EQ(supply(record.data()), 1);
    }
    void TearDown() override {
        if (module != nullptr) {
            FreeLibrary(module);
        }
    }

    HMODULE module = nullptr;
    SupplyFunction supply = nullptr;
    std::vector<unsigned char> record;
};

TEST_F(PluginDll, DecoratedNamesAreNotExported) {
    for (const char* name : {"_SupplyReaderFunctionTable", "SupplyReaderFunctionTable@4",
                             "_SupplyReaderFunctionTable@4"}) {
        EXPECT_EQ(GetProcAddress(module, name), nullptr) << name;
    }
}

TEST_F(PluginDll, WritesTheRecordAtTheHostsOffsetsAndNothingElse) {
    const char name[] = "Korvane Result Reader";
    const char filter[] = "Korvane Result File (*.res)|*.res|";
    std::vector<bool> written(kRecordBytes, false);
    auto mark = [&](std::size_t offset, std::size_t length) {
        for (std::size_t i = offset; i < offset + length; ++i) {
            written[i] = true;
        }
    };
    EXPECT_EQ(std::memcmp(record.data() + kNameOffset, name, sizeof name), 0);
    mark(kNameOffset, sizeof name);
    EXPECT_EQ(std::memcmp(record.data() + kFilterOffset, filter, sizeof filter), 0);
    mark(kFilterOffset, sizeof filter);

    const auto identify = PointerAt<IdentifyFunction>(record.data(), kIdentifyOffset);
    const auto create = PointerAt<CreateFunction>(record.data(), kCreateOffset);
    EXPECT_EQ(ModuleOf(reinterpret_cast<const void*>(identify)), module);
    EXPECT_EQ(ModuleOf(reinterpret_cast<const void*>(create)), module);
    EXPECT_NE(reinterpret_cast<const void*>(identify), reinterpret_cast<const void*>(create));
    EXPECT_EQ(PointerAt<void*>(record.data(), kReservedOffset), nullptr);
    mark(kIdentifyOffset, 4);
    mark(kReservedOffset, 4);
    mark(kCreateOffset, 4);

    for (std::size_t i = 0; i < kRecordBytes; ++i) {
        if (!written[i]) {
            EXPECT_EQ(record[i], kHostByte) << "byte " << i << " changed";
        }
    }
}

TEST_F(PluginDll, CallingAgainRewritesTheSameBytes) {
    std::vector<unsigned char> again(kRecordBytes, kHostByte);
    ASSERT_EQ(supply(again.data()), 1);
    EXPECT_EQ(again, record);
}

// A series named by a drive-letter path with backslashes, scanned and read
// through the plug-in and the host library DLL.
TEST_F(PluginDll, OpensASeriesByItsDriveLetterPath) {
    reswriter::TempDir dir;
    const std::string folder = dir.Path().string();
    ASSERT_EQ(folder.substr(1, 2), ":\\");
    // Series order is byte-wise: CASE2.RES, case.res, case1.res; the labels
    // increase in that order, so each sync value is the label's number.
    const char* names[] = {"CASE2.RES", "case.res", "case1.res"};
    for (int i = 0; i < 3; ++i) {
        reswriter::ResFile file;
        file.encoding = i == 1 ? reswriter::kInt8SecondCray8BE : reswriter::kInt4Real4LE;
        const float value = static_cast<float>(10 * (i + 1));
        file.simulations.push_back(
            {"Time = " + std::to_string(10 * (i + 1)), {{"pressure", 1, {{100 + i, {value}}}}}});
        reswriter::WriteFile(folder + "\\" + names[i], reswriter::Write(file));
    }
    const std::string path = folder + "\\case.res";
    const auto identify = PointerAt<IdentifyFunction>(record.data(), kIdentifyOffset);
    const auto create = PointerAt<CreateFunction>(record.data(), kCreateOffset);
    EXPECT_TRUE(identify(path.c_str()));
    EXPECT_FALSE(identify((folder + "\\missing.res").c_str()));

    rxResult* result = create(path.c_str(), nullptr);
    ASSERT_NE(result, nullptr);
    ASSERT_EQ(result->GetNumSubcases(), 1);
    rxSubcase* subcase = result->GetSubcase(0);
    ASSERT_EQ(subcase->ReadDataTypes(), 1);
    ASSERT_EQ(subcase->GetNumSimulations(), 3);
    for (int i = 0; i < 3; ++i) {
        rxSimulation* simulation = subcase->GetSimulation(i);
        const float value = static_cast<float>(10 * (i + 1));
        EXPECT_FLOAT_EQ(simulation->GetSyncValue(), value);
        rxDataSet* set = simulation->GetDataSet("pressure");
        ASSERT_NE(set, nullptr);
        ASSERT_TRUE(set->ReadData(0));
        EXPECT_EQ(set->EntityIDs(), std::vector<int>{100 + i});
        EXPECT_EQ(set->ScalarValues(), std::vector<float>{value});
        set->Release();
    }
    result->Release();
}

} // namespace
