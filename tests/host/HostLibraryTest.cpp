// The host results library: allocation routing, reference counting, the
// lists the bases keep and what data sets store for the host.
#include "rxAllocator.h"
#include "rxDataType.h"
#include "rxFileCacheClearer.h"
#include "rxResult.h"
#include "rxScalarDataSet.h"
#include "rxSimulation.h"
#include "rxSubcase.h"
#include "rxVector3DataSet.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace {

class CountingAllocator : public rxAllocator {
public:
    void* Allocate(std::size_t size) override {
        if (exhausted) {
            return nullptr;
        }
        void* block = std::malloc(size);
        live.insert(block);
        ++allocations;
        return block;
    }
    void Free(void* memory) override {
        ASSERT_EQ(live.count(memory), 1u) << "freed by an allocator that did not serve it";
        live.erase(memory);
        std::free(memory);
        ++frees;
    }
    std::set<void*> live;
    int allocations = 0;
    int frees = 0;
    bool exhausted = false;
};

struct AllocatorScope {
    explicit AllocatorScope(rxAllocator* allocator) { rxObject::Allocator(allocator); }
    ~AllocatorScope() { rxObject::Allocator(nullptr); }
};

class Probe : public rxObject {
public:
    explicit Probe(bool* destroyed) : destroyed(destroyed) {}
    ~Probe() override { *destroyed = true; }
    bool* destroyed;
};

TEST(HostObject, ReleaseAtZeroDeletesThroughServingAllocator) {
    CountingAllocator first;
    CountingAllocator second;
    bool destroyed = false;
    Probe* probe = nullptr;
    {
        AllocatorScope scope(&first);
        probe = new Probe(&destroyed);
    }
    ASSERT_NE(probe, nullptr);
    EXPECT_EQ(probe->RefCount(), 1);
    probe->AddRef();
    EXPECT_EQ(probe->RefCount(), 2);

    AllocatorScope scope(&second);
    probe->Release();
    EXPECT_FALSE(destroyed);
    probe->Release();
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(first.frees, 1);
    EXPECT_TRUE(first.live.empty());
    EXPECT_EQ(second.allocations, 0);
    EXPECT_EQ(second.frees, 0);
}

TEST(HostObject, ExhaustedAllocatorYieldsNullAndConstructsNothing) {
    CountingAllocator allocator;
    allocator.exhausted = true;
    AllocatorScope scope(&allocator);
    bool destroyed = false;
    Probe* probe = new Probe(&destroyed);
    EXPECT_EQ(probe, nullptr);
}

class CountingResult : public rxResult {
public:
    using rxResult::rxResult;
    int ReadNumSubcases() override {
        ++scans;
        if (subcases.empty()) {
            subcases.push_back(new rxSubcase(this, 1, "Loadcase 1"));
        }
        return static_cast<int>(subcases.size());
    }
    int scans = 0;
};

TEST(HostResult, AsksForSubcasesOnceAndOwnsThem) {
    CountingResult* result = new CountingResult("a.res");
    EXPECT_STREQ(result->GetFileName(), "a.res");
    EXPECT_EQ(result->GetNumSubcases(), 1);
    EXPECT_EQ(result->GetNumSubcases(), 1);
    EXPECT_EQ(result->scans, 1);
    rxSubcase* subcase = result->GetSubcase(0);
    ASSERT_NE(subcase, nullptr);
    EXPECT_EQ(subcase->GetID(), 1);
    EXPECT_STREQ(subcase->GetLabel(), "Loadcase 1");
    EXPECT_EQ(subcase->GetResult(), result);
    EXPECT_EQ(result->GetSubcase(1), nullptr);
    EXPECT_EQ(result->GetSubcase(-1), nullptr);
    result->Release();
}

TEST(HostSubcase, KeepsSimulationsAndDataTypesInOrder) {
    rxResult* result = new rxResult("b.res");
    rxSubcase* subcase = new rxSubcase(result, 1, "Loadcase 1");
    subcase->AddSimulation(new rxSimulation(subcase, 0.5f, "Time = 0.5"));
    subcase->AddSimulation(new rxSimulation(subcase, 1.0f, "Time = 1"));
    EXPECT_FALSE(subcase->HasDataTypes(0));
    rxDataType* a = subcase->CreateDataType("stress", rxDataType::Elements, -1);
    ASSERT_NE(a, nullptr);
    a->AddAttribute("Elements", rxDataSet::Scalar, 0, false);
    subcase->CreateDataType("stress:Phase", rxDataType::Nodes, -1);

    EXPECT_TRUE(subcase->HasDataTypes(0));
    EXPECT_EQ(subcase->GetNumSimulations(), 2);
    EXPECT_STREQ(subcase->GetSimulation(1)->GetLabel(), "Time = 1");
    EXPECT_EQ(subcase->GetSimulation(1)->GetSyncValue(), 1.0f);
    EXPECT_EQ(subcase->GetSimulation(0)->GetResult(), result);
    EXPECT_EQ(subcase->GetSimulation(2), nullptr);
    EXPECT_EQ(subcase->GetNumDataTypes(), 2);
    EXPECT_EQ(subcase->FindDataTypeByName("stress"), a);
    EXPECT_EQ(subcase->FindDataTypeByName("Stress"), nullptr);
    ASSERT_EQ(a->GetAttributes().size(), 1u);
    EXPECT_EQ(a->GetAttributes()[0].name, "Elements");
    EXPECT_EQ(a->GetAttributes()[0].format, rxDataSet::Scalar);
    EXPECT_EQ(a->GetBinding(), rxDataType::Elements);
    subcase->Release();
    result->Release();
}

class DeliveringScalar : public rxScalarDataSet {
public:
    using rxScalarDataSet::rxScalarDataSet;
    bool ReadData(int) override {
        ReserveItems(2);
        SetEntityID(10);
        SetBaseData(1.0f);
        SetEntityID(11);
        SetBaseData(2.5f);
        return true;
    }
    bool ReadComplexData(int) override {
        ReserveItems(1);
        ComplexScalar value;
        value.magnitude = 2.0f;
        value.phase = 0.5f;
        SetEntityID(7);
        SetBaseData(&value);
        value.magnitude = 9.0f; // the host copied the value during the call
        return true;
    }
};

class DeliveringVector : public rxVector3DataSet {
public:
    using rxVector3DataSet::rxVector3DataSet;
    bool ReadData(int) override {
        ReserveItems(1);
        rxVector3D v{1, 2, 3};
        SetEntityID(4);
        SetBaseData(&v);
        return true;
    }
    bool ReadComplexData(int) override {
        ReserveItems(1);
        ComplexVector v;
        v.magnitude = {1, 2, 3};
        v.phase = {0.25f, 0.5f, 0.75f};
        SetEntityID(5);
        SetBaseData(&v);
        return true;
    }
};

TEST(HostDataSet, StoresEveryOverloadAndRestartsOnReserve) {
    DeliveringScalar* scalar = new DeliveringScalar(nullptr, nullptr, "text");
    EXPECT_EQ(scalar->GetFormat(), rxDataSet::Scalar);
    EXPECT_STREQ(scalar->GetText(), "text");
    ASSERT_TRUE(scalar->ReadData(0));
    EXPECT_EQ(scalar->ReservedCount(), 2);
    EXPECT_EQ(scalar->EntityIDs(), (std::vector<int>{10, 11}));
    EXPECT_EQ(scalar->ScalarValues(), (std::vector<float>{1.0f, 2.5f}));
    ASSERT_TRUE(scalar->ReadComplexData(0));
    EXPECT_EQ(scalar->ReserveCalls(), 2);
    EXPECT_EQ(scalar->EntityIDs(), (std::vector<int>{7}));
    EXPECT_TRUE(scalar->ScalarValues().empty());
    ASSERT_EQ(scalar->ComplexScalarValues().size(), 1u);
    EXPECT_EQ(scalar->ComplexScalarValues()[0].magnitude, 2.0f);
    EXPECT_EQ(scalar->ComplexScalarValues()[0].phase, 0.5f);
    scalar->Release();

    DeliveringVector* vector = new DeliveringVector(nullptr, nullptr, nullptr);
    EXPECT_EQ(vector->GetFormat(), rxDataSet::Vector);
    ASSERT_TRUE(vector->ReadData(0));
    ASSERT_EQ(vector->VectorValues().size(), 1u);
    EXPECT_EQ(vector->VectorValues()[0], (rxVector3D{1, 2, 3}));
    ASSERT_TRUE(vector->ReadComplexData(0));
    ASSERT_EQ(vector->ComplexVectorValues().size(), 1u);
    EXPECT_EQ(vector->ComplexVectorValues()[0].phase, (rxVector3D{0.25f, 0.5f, 0.75f}));
    vector->Release();
}

// Delivers `count` entities of one value kind after announcing them and
// tells whether the storage of the ids or of the values moved meanwhile.
class DeliveringMany : public rxVector3DataSet {
public:
    using rxVector3DataSet::rxVector3DataSet;
    bool DeliverWithoutMoving(int count, int kind) {
        ReserveItems(count);
        const void* first[2] = {nullptr, nullptr};
        bool moved = false;
        for (int i = 0; i < count; ++i) {
            rxVector3D v{1, 2, 3};
            ComplexScalar s;
            ComplexVector c;
            SetEntityID(i);
            kind == 0   ? SetBaseData(1.0f)
            : kind == 1 ? SetBaseData(&v)
            : kind == 2 ? SetBaseData(&s)
                        : SetBaseData(&c);
            const void* now[2] = {EntityIDs().data(), Values(kind)};
            for (int k = 0; k < 2; ++k) {
                moved = moved || (first[k] != nullptr && first[k] != now[k]);
                first[k] = now[k];
            }
        }
        return !moved;
    }

private:
    const void* Values(int kind) const {
        switch (kind) {
        case 0:
            return ScalarValues().data();
        case 1:
            return VectorValues().data();
        case 2:
            return ComplexScalarValues().data();
        default:
            return ComplexVectorValues().data();
        }
    }
};

TEST(HostDataSet, AnnouncedDeliveryNeverReallocates) {
    DeliveringMany* set = new DeliveringMany(nullptr, nullptr, "");
    for (int kind = 0; kind < 4; ++kind) {
        EXPECT_TRUE(set->DeliverWithoutMoving(1000, kind)) << "value kind " << kind;
        EXPECT_EQ(set->EntityIDs().size(), 1000u);
    }
    // A larger delivery after a smaller one sizes its storage anew.
    EXPECT_TRUE(set->DeliverWithoutMoving(5000, 3));
    EXPECT_EQ(set->ComplexVectorValues().size(), 5000u);
    set->Release();
}

class RecordingClearer : public rxFileCacheClearer {
public:
    void AddFileName(const char* name) override { names.push_back(name); }
    std::vector<std::string> names;
};

TEST(HostFileCacheClearer, InstanceCanBeReplacedAndCleared) {
    RecordingClearer recorder;
    rxFileCacheClearer* previous = rxFileCacheClearer::SetInstance(&recorder);
    ASSERT_NE(previous, nullptr);
    rxFileCacheClearer::GetInstance()->AddFileName("x.res");
    EXPECT_EQ(recorder.names, (std::vector<std::string>{"x.res"}));
    EXPECT_EQ(rxFileCacheClearer::SetInstance(nullptr), &recorder);
    EXPECT_EQ(rxFileCacheClearer::GetInstance(), nullptr);
    rxFileCacheClearer::SetInstance(previous);
}

} // namespace
