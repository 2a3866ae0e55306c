// The order of the virtual operations of every base is part of the contract
// with the host: a plug-in built against these headers calls through fixed
// table slots. On the Itanium C++ ABI (g++, clang, MinGW) a pointer to a
// virtual member holds 1 + its byte offset in the table, which lets the test
// read each operation's slot. The destructor takes two slots there.
#include "rxDataSet.h"
#include "rxEntityIdReceiver.h"
#include "rxResult.h"
#include "rxSimulation.h"
#include "rxSubcase.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#if defined(__GNUC__) || defined(__clang__)

namespace {

template <class Member> std::ptrdiff_t SlotOf(Member member) {
    std::ptrdiff_t raw = 0;
    static_assert(sizeof(Member) >= sizeof(raw), "Itanium member pointer");
    std::memcpy(&raw, &member, sizeof raw);
    return (raw - 1) / static_cast<std::ptrdiff_t>(sizeof(void*));
}

// Slots after the two destructor entries.
constexpr std::ptrdiff_t kFirst = 2;

TEST(HostSlotOrder, Object) {
    EXPECT_EQ(SlotOf(&rxObject::AddRef), kFirst + 0);
    EXPECT_EQ(SlotOf(&rxObject::Release), kFirst + 1);
    EXPECT_EQ(SlotOf(&rxObject::RefCount), kFirst + 2);
}

TEST(HostSlotOrder, Result) {
    EXPECT_EQ(SlotOf(&rxResult::Release), kFirst + 1);
    EXPECT_EQ(SlotOf(&rxResult::GetNumSubcases), kFirst + 3);
    EXPECT_EQ(SlotOf(&rxResult::GetSubcase), kFirst + 4);
    EXPECT_EQ(SlotOf(&rxResult::GetDefaultResultSystemID), kFirst + 5);
    EXPECT_EQ(SlotOf(&rxResult::GetShellElemSysCalcMethod), kFirst + 6);
    EXPECT_EQ(SlotOf(&rxResult::DataIsTabular), kFirst + 7);
    EXPECT_EQ(SlotOf(&rxResult::ReadNumSubcases), kFirst + 8);
    EXPECT_EQ(SlotOf(&rxResult::ReadSubcase), kFirst + 9);
}

TEST(HostSlotOrder, Subcase) {
    EXPECT_EQ(SlotOf(&rxSubcase::GetNumSimulations), kFirst + 3);
    EXPECT_EQ(SlotOf(&rxSubcase::GetSimulation), kFirst + 4);
    EXPECT_EQ(SlotOf(&rxSubcase::GetScalarGroupDelimiter), kFirst + 5);
    EXPECT_EQ(SlotOf(&rxSubcase::GetSubcaseType), kFirst + 6);
    EXPECT_EQ(SlotOf(&rxSubcase::GetAnimationFormat), kFirst + 7);
    EXPECT_EQ(SlotOf(&rxSubcase::GetAnimationSources), kFirst + 8);
    EXPECT_EQ(SlotOf(&rxSubcase::GetInterpolationBasis), kFirst + 9);
    EXPECT_EQ(SlotOf(&rxSubcase::ReadEntityIDs), kFirst + 10);
    EXPECT_EQ(SlotOf(&rxSubcase::ReadDataTypes), kFirst + 11);
    EXPECT_EQ(SlotOf(&rxSubcase::HasDataTypes), kFirst + 12);
    EXPECT_EQ(SlotOf(&rxSubcase::ReadNumSimulations), kFirst + 13);
    EXPECT_EQ(SlotOf(&rxSubcase::ReadSimulation), kFirst + 14);
    EXPECT_EQ(SlotOf(&rxSubcase::ReadNumHistorySets), kFirst + 15);
    EXPECT_EQ(SlotOf(&rxSubcase::ReadHistorySet), kFirst + 16);
}

TEST(HostSlotOrder, Simulation) {
    EXPECT_EQ(SlotOf(&rxSimulation::GetSyncValue), kFirst + 3);
    EXPECT_EQ(SlotOf(&rxSimulation::GetLabel), kFirst + 4);
    EXPECT_EQ(SlotOf(&rxSimulation::GetSubcase), kFirst + 5);
    EXPECT_EQ(SlotOf(&rxSimulation::GetResult), kFirst + 6);
    EXPECT_EQ(SlotOf(&rxSimulation::LoadPosition), kFirst + 7);
    EXPECT_EQ(SlotOf(&rxSimulation::GetDataSet), kFirst + 8);
    EXPECT_EQ(SlotOf(&rxSimulation::GetDataTypeTable), kFirst + 9);
    EXPECT_EQ(SlotOf(&rxSimulation::ReadDataSet), kFirst + 10);
    EXPECT_EQ(SlotOf(&rxSimulation::ReadExtraData), kFirst + 11);
    EXPECT_EQ(SlotOf(&rxSimulation::ReadPosition), kFirst + 12);
    EXPECT_EQ(SlotOf(&rxSimulation::ReadAdaptivity), kFirst + 13);
    EXPECT_EQ(SlotOf(&rxSimulation::ReadErosion), kFirst + 14);
}

TEST(HostSlotOrder, DataSet) {
    EXPECT_EQ(SlotOf(&rxDataSet::ReadData), kFirst + 3);
    EXPECT_EQ(SlotOf(&rxDataSet::ReadCornerData), kFirst + 4);
    EXPECT_EQ(SlotOf(&rxDataSet::ReadComplexData), kFirst + 5);
    EXPECT_EQ(SlotOf(&rxDataSet::ReadComplexCornerData), kFirst + 6);
    EXPECT_EQ(SlotOf(&rxDataSet::RequestCache), kFirst + 7);
}

TEST(HostSlotOrder, EntityIdReceiverHasExactlyTwoOperations) {
    EXPECT_EQ(SlotOf(&rxEntityIdReceiver::SetNumEntities), 0);
    EXPECT_EQ(SlotOf(&rxEntityIdReceiver::AddEntityID), 1);
}

} // namespace

#endif
