// The plug-in as a host sees it: loaded with dlopen and driven only through
// SupplyReaderFunctionTable and the callbacks of the record it fills, then
// through the host classes of the objects it returns.
#include "ResWriter.h"
#include "TempDir.h"

#include "rxAllocator.h"
#include "rxDataSet.h"
#include "rxEntityIdReceiver.h"
#include "rxReaderRecord.h"
#include "rxResult.h"
#include "rxSimulation.h"
#include "rxSubcase.h"

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using reswriter::DataTypeRow;
using reswriter::Record;
using reswriter::Simulation;
using reswriter::TempDir;

// Loading the library the way the platform's hosts do.
#if defined(_WIN32)
const char* const kLibrary = KVRES_BIN_DIR "/kvres.dll";
void* OpenLibrary(const char* path) {
    return reinterpret_cast<void*>(LoadLibraryA(path));
}
void* FindSymbol(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}
std::string LibraryError() {
    return "LoadLibrary failed with error " + std::to_string(GetLastError());
}
#else
const char* const kLibrary = KVRES_BIN_DIR "/kvres.so";
void* OpenLibrary(const char* path) {
    return dlopen(path, RTLD_NOW | RTLD_LOCAL);
}
void* FindSymbol(void* library, const char* name) {
    return dlsym(library, name);
}
std::string LibraryError() {
    const char* text = dlerror();
    return text != nullptr ? text : "";
}
#endif

class ReaderEntry : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        library = OpenLibrary(kLibrary);
        if (library != nullptr) {
            supply = reinterpret_cast<rxSupplyReaderFunctionTable*>(
                FindSymbol(library, rxSupplyReaderFunctionTableName));
        }
    }

    void SetUp() override {
        ASSERT_NE(library, nullptr) << LibraryError();
        ASSERT_NE(supply, nullptr);
        ASSERT_TRUE(supply(&record));
    }

    void TearDown() override { rxObject::Allocator(nullptr); }

    static void* library;
    static rxSupplyReaderFunctionTable* supply;
    rxReaderRecord record{};
};

void* ReaderEntry::library = nullptr;
rxSupplyReaderFunctionTable* ReaderEntry::supply = nullptr;

struct ResultRelease {
    void operator()(rxResult* result) const {
        if (result != nullptr) {
            result->Release();
        }
    }
};
using ResultRef = std::unique_ptr<rxResult, ResultRelease>;

TEST_F(ReaderEntry, RecordHoldsExactlyTheWrittenFields) {
    constexpr std::size_t kSpare = 64;
    alignas(rxReaderRecord) unsigned char bytes[sizeof(rxReaderRecord) + kSpare];
    std::memset(bytes, 0xCD, sizeof bytes);
    ASSERT_TRUE(supply(reinterpret_cast<rxReaderRecord*>(bytes)));

    const char name[] = "Korvane Result Reader";
    const char filter[] = "Korvane Result File (*.res)|*.res|";
    std::vector<bool> written(sizeof bytes, false);
    auto mark = [&](std::size_t offset, std::size_t length) {
        for (std::size_t i = offset; i < offset + length; ++i) {
            written[i] = true;
        }
    };
    EXPECT_EQ(std::memcmp(bytes + 260, name, sizeof name), 0);
    mark(260, sizeof name);
    EXPECT_EQ(std::memcmp(bytes + 516, filter, sizeof filter), 0);
    mark(516, sizeof filter);

    const auto* filled = reinterpret_cast<const rxReaderRecord*>(bytes);
    EXPECT_NE(filled->identifyFile, nullptr);
    EXPECT_EQ(filled->reserved, nullptr);
    EXPECT_NE(filled->createResult, nullptr);
    mark(offsetof(rxReaderRecord, identifyFile), sizeof(void*));
    mark(offsetof(rxReaderRecord, reserved), sizeof(void*));
    mark(offsetof(rxReaderRecord, createResult), sizeof(void*));

    for (std::size_t i = 0; i < sizeof bytes; ++i) {
        if (!written[i]) {
            EXPECT_EQ(bytes[i], 0xCD) << "byte " << i << " changed";
        }
    }
}

TEST_F(ReaderEntry, IdentificationComparesTheTitleText) {
    TempDir dir;
    struct Case {
        const char* label;
        std::string content;
        bool recognised;
    };
    const std::vector<Case> cases = {
        {"title and more", "Korvane Results file, written today", true},
        {"title alone", "Korvane Results", true},
        {"other case", "KORVANE RESULTS and more", false},
        {"lower case", "korvane results", false},
        {"at byte 1", " Korvane Results", false},
        {"cut short", "Korvane Result", false},
        {"empty", "", false},
    };
    for (const Case& c : cases) {
        const std::string path = dir.File("identify.res");
        reswriter::WriteFile(path, std::vector<unsigned char>(c.content.begin(), c.content.end()));
        EXPECT_EQ(record.identifyFile(path.c_str()), c.recognised) << c.label;
    }
    std::vector<unsigned char> whole = reswriter::Write(reswriter::ResFile{});
    reswriter::WriteFile(dir.File("whole.res"), whole);
    EXPECT_TRUE(record.identifyFile(dir.File("whole.res").c_str()));
    EXPECT_FALSE(record.identifyFile(dir.File("missing.res").c_str()));
    EXPECT_FALSE(record.identifyFile(dir.Path().string().c_str()));
    EXPECT_FALSE(record.identifyFile(nullptr));
}

TEST_F(ReaderEntry, UnreadableFileGivesAnEmptyResult) {
    TempDir dir;
    const std::string missing = dir.File("missing.res");
    for (const char* path : {missing.c_str(), static_cast<const char*>(nullptr)}) {
        ResultRef result(record.createResult(path, nullptr));
        ASSERT_NE(result, nullptr);
        ASSERT_EQ(result->GetNumSubcases(), 1);
        rxSubcase* subcase = result->GetSubcase(0);
        ASSERT_NE(subcase, nullptr);
        EXPECT_STREQ(subcase->GetLabel(), "Loadcase 1");
        EXPECT_EQ(subcase->GetNumSimulations(), 0);
        EXPECT_EQ(subcase->ReadDataTypes(), 0);
    }
}

class CountingAllocator : public rxAllocator {
public:
    void* Allocate(std::size_t size) override {
        ++allocations;
        return rxAllocator::Allocate(size);
    }
    void Free(void* memory) override {
        ++frees;
        rxAllocator::Free(memory);
    }
    int allocations = 0;
    int frees = 0;
};

class EmptyAllocator : public rxAllocator {
public:
    void* Allocate(std::size_t) override { return nullptr; }
};

TEST_F(ReaderEntry, CreationInstallsTheHostAllocatorEveryTime) {
    TempDir dir;
    reswriter::ResFile file;
    file.simulations.push_back(Simulation{"Time = 1", {}});
    const std::string path = dir.File("alloc.res");
    reswriter::WriteFile(path, reswriter::Write(file));

    CountingAllocator first;
    CountingAllocator second;
    {
        ResultRef one(record.createResult(path.c_str(), &first));
        ASSERT_NE(one, nullptr);
        EXPECT_EQ(first.allocations, 1);
        ResultRef two(record.createResult(path.c_str(), &second));
        ASSERT_NE(two, nullptr);
        EXPECT_EQ(second.allocations, 1);
        // Subcase and simulation come from the allocator in force.
        ASSERT_EQ(two->GetNumSubcases(), 1);
        EXPECT_EQ(second.allocations, 3);
        EXPECT_EQ(first.allocations, 1);
    }
    EXPECT_EQ(first.frees, first.allocations);
    EXPECT_EQ(second.frees, second.allocations);

    EmptyAllocator empty;
    EXPECT_EQ(record.createResult(path.c_str(), &empty), nullptr);
}

class Receiver final : public rxEntityIdReceiver {
public:
    void SetNumEntities(int count) override { counts.push_back(count); }
    void AddEntityID(int id) override { ids.push_back(id); }
    std::vector<int> counts;
    std::vector<int> ids;
};

// Values travel from an 8-byte Cray file to the host, real and complex.
TEST_F(ReaderEntry, HostReadsValuesEndToEnd) {
    TempDir dir;
    reswriter::ResFile file;
    file.encoding = reswriter::kInt8SecondCray8BE;
    Simulation sim{"Frequency = 50", {}};
    sim.rows.push_back(DataTypeRow{"pressure", 1, {Record{10, {1.0f}}, Record{11, {2.5f}}}});
    sim.rows.push_back(
        DataTypeRow{"displacements (c)", 4, {Record{7, {1.0f, 180.0f, 2.0f, 90.0f, 3.0f, 0.0f}}}});
    sim.rows.push_back(DataTypeRow{"heat", 8, {Record{3, {5.0f, 45.0f, -1.0f}}}});
    file.simulations.push_back(sim);
    const std::string path = dir.File("end.res");
    reswriter::WriteFile(path, reswriter::Write(file));

    ASSERT_TRUE(record.identifyFile(path.c_str()));
    ResultRef result(record.createResult(path.c_str(), nullptr));
    ASSERT_NE(result, nullptr);
    ASSERT_EQ(result->GetNumSubcases(), 1);
    rxSubcase* subcase = result->GetSubcase(0);
    EXPECT_EQ(subcase->GetSubcaseType(), 1);
    ASSERT_EQ(subcase->ReadDataTypes(), 5);
    ASSERT_EQ(subcase->GetNumSimulations(), 1);
    rxSimulation* simulation = subcase->GetSimulation(0);
    EXPECT_FLOAT_EQ(simulation->GetSyncValue(), 50.0f);

    std::unique_ptr<rxDataSet, void (*)(rxDataSet*)> pressure(
        simulation->GetDataSet("pressure"), [](rxDataSet* set) { set->Release(); });
    ASSERT_NE(pressure, nullptr);
    ASSERT_TRUE(pressure->ReadData(0));
    EXPECT_EQ(pressure->EntityIDs(), (std::vector<int>{10, 11}));
    EXPECT_EQ(pressure->ScalarValues(), (std::vector<float>{1.0f, 2.5f}));

    std::unique_ptr<rxDataSet, void (*)(rxDataSet*)> displacement(
        simulation->GetDataSet("displacement"), [](rxDataSet* set) { set->Release(); });
    ASSERT_NE(displacement, nullptr);
    ASSERT_TRUE(displacement->ReadComplexData(0));
    ASSERT_EQ(displacement->ComplexVectorValues().size(), 1u);
    EXPECT_EQ(displacement->ComplexVectorValues()[0].magnitude, (rxVector3D{1.0f, 2.0f, 3.0f}));
    EXPECT_EQ(displacement->ComplexVectorValues()[0].phase,
              (rxVector3D{3.1415927f, 1.5707964f, 0.0f}));

    std::unique_ptr<rxDataSet, void (*)(rxDataSet*)> offset(simulation->GetDataSet("heat:Offset"),
                                                            [](rxDataSet* set) { set->Release(); });
    ASSERT_NE(offset, nullptr);
    ASSERT_TRUE(offset->ReadData(0));
    EXPECT_EQ(offset->ScalarValues(), (std::vector<float>{-1.0f}));

    Receiver receiver;
    EXPECT_EQ(subcase->ReadEntityIDs(subcase->FindDataTypeByName("heat:Phase"), 0, &receiver), 1);
    EXPECT_EQ(receiver.counts, (std::vector<int>{1}));
    EXPECT_EQ(receiver.ids, (std::vector<int>{3}));
}

#if !defined(_WIN32)
// Everything but the entry point stays inside the library. Linker-made
// markers are not the library's own symbols. (The Windows build checks the
// DLL's export table with objdump, tests/windows/check-exports.sh.)
TEST(ReaderLibrary, ExportsOnlyTheEntryPoint) {
    if (std::system("command -v nm > /dev/null 2>&1") != 0) {
        GTEST_SKIP() << "nm is not available";
    }
    const std::string command = std::string("nm -D --defined-only ") + kLibrary + " 2>/dev/null";
    std::FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        output += buffer;
    }
    ASSERT_EQ(pclose(pipe), 0) << output;

    const std::set<std::string> linkerMade = {"_init", "_fini", "__bss_start", "_edata", "_end"};
    std::set<std::string> own;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string address;
        std::string type;
        std::string name;
        if (!(fields >> address >> type >> name) || type == "A" || linkerMade.count(name) != 0) {
            continue;
        }
        own.insert(name);
    }
    EXPECT_EQ(own, (std::set<std::string>{"SupplyReaderFunctionTable"})) << output;
}
#endif

} // namespace
