// Out of memory anywhere on the host's road must not reach the host as an
// exception (a host built with another C++ runtime cannot catch one), must
// not leak, and must never be answered with success and wrong values. The
// whole road over the example set runs once cleanly, then again for every N
// with the N-th allocation failing, both of the host allocator handed to the
// creation callback and of the global operator new (replaced in this program;
// on Linux the plug-in's allocations come here too, on Windows kvres.dll has
// its own C++ runtime and only the host allocator's fail). A second sweep
// lets every allocation from the N-th on fail.
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

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

struct Injection {
    bool armed = false;
    bool persistent = false; // fail every allocation from failAt on
    long counted = 0;        // allocations while armed
    long failAt = 0;         // 1-based; 0 fails none
    long liveNew = 0;        // operator new blocks not yet deleted
};
Injection injection;

bool NextAllocationFails() {
    if (!injection.armed) {
        return false;
    }
    ++injection.counted;
    return injection.failAt > 0 && (injection.persistent ? injection.counted >= injection.failAt
                                                         : injection.counted == injection.failAt);
}

void* Allocate(std::size_t size) {
    if (NextAllocationFails()) {
        throw std::bad_alloc();
    }
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    ++injection.liveNew;
    return block;
}

void Free(void* block) noexcept {
    if (block != nullptr) {
        --injection.liveNew;
        std::free(block);
    }
}

} // namespace

// The other forms of new and delete in the C++ runtime come down to these.
void* operator new(std::size_t size) {
    return Allocate(size);
}
void operator delete(void* block) noexcept {
    Free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    Free(block);
}

namespace {

#if defined(_WIN32)
void* LoadPlugin() {
    return reinterpret_cast<void*>(LoadLibraryA(KVRES_BIN_DIR "/kvres.dll"));
}
void* Symbol(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}
#else
void* LoadPlugin() {
    return dlopen(KVRES_BIN_DIR "/kvres.so", RTLD_NOW | RTLD_LOCAL);
}
void* Symbol(void* library, const char* name) {
    return dlsym(library, name);
}
#endif

class SweepAllocator : public rxAllocator {
public:
    void* Allocate(std::size_t size) override {
        if (NextAllocationFails()) {
            return nullptr;
        }
        ++live;
        return rxAllocator::Allocate(size);
    }
    void Free(void* memory) override {
        --live;
        rxAllocator::Free(memory);
    }
    long live = 0;
};

uint64_t Mix(uint64_t hash, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        hash = (hash ^ bytes[i]) * 1099511628211ull;
    }
    return hash;
}

template <class T> uint64_t Mix(uint64_t hash, const std::vector<T>& values) {
    const std::size_t count = values.size();
    hash = Mix(hash, &count, sizeof count);
    return Mix(hash, values.data(), values.size() * sizeof(T));
}

constexpr uint64_t kHashStart = 14695981039346656037ull;

// What one data set delivered, as a hash of every id and value bit.
uint64_t Delivered(const rxDataSet& set) {
    uint64_t hash = Mix(kHashStart, set.EntityIDs());
    hash = Mix(hash, set.ScalarValues());
    hash = Mix(hash, set.VectorValues());
    hash = Mix(hash, set.ComplexScalarValues());
    return Mix(hash, set.ComplexVectorValues());
}

class HashingReceiver final : public rxEntityIdReceiver {
public:
    void SetNumEntities(int) override {}
    void AddEntityID(int id) override { hash = Mix(hash, &id, sizeof id); }
    uint64_t hash = kHashStart;
};

// One answer on the road: a read's success and what it delivered, an id
// count, or whether a data set was made.
struct Answer {
    bool reached = false;
    long value = 0; // read: 1 true, 0 false; ids: the count; data set: 1 made
    uint64_t hash = 0;
};

struct Road {
    bool created = false;
    int subcases = 0;
    int simulations = 0;
    int dataTypes = 0;
    int subcaseType = 0;
    uint64_t typeNames = 0;
    std::vector<Answer> answers; // sized before the road; never grows on it
};

void Put(Road& road, std::size_t& next, long value, uint64_t hash) {
    if (next < road.answers.size()) {
        road.answers[next] = Answer{true, value, hash};
    }
    ++next;
}

// The host's road: create, scan, data types, entity ids, and both reads of
// every data set of every simulation; then release. Allocates nothing of its
// own, so every allocation counted is the plug-in's or the host library's.
void Drive(const rxReaderRecord& record, rxAllocator& allocator, const char* path, Road& road) {
    rxResult* result = record.createResult(path, &allocator);
    road.created = result != nullptr;
    if (result == nullptr) {
        return;
    }
    road.subcases = result->GetNumSubcases();
    rxSubcase* subcase = result->GetSubcase(0);
    if (subcase != nullptr) {
        road.simulations = subcase->GetNumSimulations();
        road.subcaseType = subcase->GetSubcaseType();
        road.dataTypes = subcase->ReadDataTypes();
        road.typeNames = kHashStart;
        for (int t = 0; t < subcase->GetNumDataTypes(); ++t) {
            const rxDataType* type = subcase->GetDataType(t);
            const rxDataType::Binding binding = type->GetBinding();
            road.typeNames = Mix(road.typeNames, type->GetName(), std::strlen(type->GetName()) + 1);
            road.typeNames = Mix(road.typeNames, &binding, sizeof binding);
        }
        std::size_t next = 0;
        for (int t = 0; t < road.dataTypes; ++t) {
            HashingReceiver receiver;
            const int count = subcase->ReadEntityIDs(subcase->GetDataType(t), 0, &receiver);
            Put(road, next, count, receiver.hash);
        }
        for (int s = 0; s < road.simulations; ++s) {
            rxSimulation* simulation = subcase->GetSimulation(s);
            for (int t = 0; t < road.dataTypes; ++t) {
                rxDataSet* set = simulation->ReadDataSet(subcase->GetDataType(t), "sweep");
                Put(road, next, set != nullptr ? 1 : 0, 0);
                if (set == nullptr) {
                    next += 2; // the two reads keep their places
                    continue;
                }
                const bool real = set->ReadData(0);
                Put(road, next, real ? 1 : 0, Delivered(*set));
                const bool complex = set->ReadComplexData(0);
                Put(road, next, complex ? 1 : 0, Delivered(*set));
                set->Release();
            }
        }
    }
    result->Release();
}

// Why a faulty road's answers are not those of a sound host road, or "".
std::string Judge(const Road& clean, const Road& road) {
    if (!road.created) {
        return "";
    }
    if (road.subcases != 0 && road.subcases != 1) {
        return "subcases " + std::to_string(road.subcases);
    }
    if (road.simulations != 0 && road.simulations != clean.simulations) {
        return "a partial scan: " + std::to_string(road.simulations) + " simulations";
    }
    if (road.simulations == 0 && road.subcases == 1 &&
        (road.dataTypes != 0 || road.subcaseType != 2)) {
        return "data types or complex results without simulations";
    }
    if (road.dataTypes != 0 &&
        (road.dataTypes != clean.dataTypes || road.typeNames != clean.typeNames)) {
        return "other data types: " + std::to_string(road.dataTypes);
    }
    if (road.simulations == clean.simulations && road.subcaseType != clean.subcaseType) {
        return "another subcase type";
    }
    for (std::size_t i = 0; i < road.answers.size(); ++i) {
        const Answer& got = road.answers[i];
        const Answer& want = clean.answers[i];
        if (!got.reached || got.value == 0) {
            continue; // the failure answer is always allowed
        }
        if (got.value != want.value || got.hash != want.hash) {
            return "answer " + std::to_string(i) + " is " + std::to_string(got.value) +
                   " with other values than the clean road's";
        }
    }
    return "";
}

class AllocationFailure : public ::testing::TestWithParam<bool> {
protected:
    static void SetUpTestSuite() {
        void* library = LoadPlugin();
        if (library != nullptr) {
            supply = reinterpret_cast<rxSupplyReaderFunctionTable*>(
                Symbol(library, rxSupplyReaderFunctionTableName));
        }
    }
    void TearDown() override {
        injection = Injection{};
        rxObject::Allocator(nullptr);
    }
    static rxSupplyReaderFunctionTable* supply;
};

rxSupplyReaderFunctionTable* AllocationFailure::supply = nullptr;

TEST_P(AllocationFailure, NoCrashNoLeakNoSuccessWithWrongValues) {
    ASSERT_NE(supply, nullptr);
    rxReaderRecord record{};
    ASSERT_TRUE(supply(&record));
    const std::string path = KVRES_BIN_DIR "/../examples/beam.res";
    ASSERT_TRUE(record.identifyFile(path.c_str()));

    Road clean;
    clean.answers.resize(4096);
    {
        SweepAllocator allocator;
        injection.armed = true;
        Drive(record, allocator, path.c_str(), clean);
        injection.armed = false;
        ASSERT_EQ(allocator.live, 0);
    }
    const long allocations = injection.counted;
    ASSERT_TRUE(clean.created);
    ASSERT_GT(clean.simulations, 1);
    ASSERT_GT(clean.dataTypes, 1);
    for (const Answer& answer : clean.answers) {
        ASSERT_TRUE(!answer.reached || answer.value != 0) << "the clean road fails somewhere";
    }

    for (long n = 1; n <= allocations + 1; ++n) {
        Road road;
        road.answers.resize(clean.answers.size());
        SweepAllocator allocator;
        const long liveBefore = injection.liveNew;
        injection.counted = 0;
        injection.failAt = n;
        injection.persistent = GetParam();
        injection.armed = true;
        Drive(record, allocator, path.c_str(), road);
        injection.armed = false;
        rxObject::Allocator(nullptr);
        ASSERT_EQ(allocator.live, 0) << "host allocator leaks when allocation " << n << " fails";
        ASSERT_EQ(injection.liveNew, liveBefore) << "leak when allocation " << n << " fails";
        const std::string fault = Judge(clean, road);
        ASSERT_EQ(fault, "") << "allocation " << n << " of " << allocations << " failing";
    }
}

INSTANTIATE_TEST_SUITE_P(Failures, AllocationFailure, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "FromThenOn" : "Once"; });

} // namespace
