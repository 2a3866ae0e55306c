// What a data set holds after deliveries that keep to their announced count
// and after ones that do not, for every value kind, with the lists read in
// the middle of a delivery or only at its end.
#include "rxDataSet.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

enum Kind { kScalar, kVector, kComplexScalar, kComplexVector };

// One value of entity i as a complex vector; the smaller kinds take a prefix.
rxDataSet::ComplexVector ValueOf(int i) {
    const float f = static_cast<float>(i);
    rxDataSet::ComplexVector v;
    v.magnitude = {f + 0.25f, -f, f * 2};
    v.phase = {f * 0.5f, 1.5f, -0.75f - f};
    return v;
}

class Recipient : public rxDataSet {
public:
    Recipient() : rxDataSet(nullptr, nullptr, "", Scalar) {}

    // Announces `announced`, delivers `delivered` entities of `kind` and,
    // every `peekEvery` of them, checks what the lists show so far.
    void Deliver(Kind kind, int announced, int delivered, int peekEvery) {
        ReserveItems(announced);
        for (int i = 0; i < delivered; ++i) {
            rxDataSet::ComplexVector v = ValueOf(i);
            rxDataSet::ComplexScalar s;
            s.magnitude = v.magnitude.x;
            s.phase = v.phase.x;
            SetEntityID(3 * i + 1);
            kind == kScalar          ? SetBaseData(v.magnitude.x)
            : kind == kVector        ? SetBaseData(&v.magnitude)
            : kind == kComplexScalar ? SetBaseData(&s)
                                     : SetBaseData(&v);
            v = {}; // the host copied the value during the call
            if (peekEvery > 0 && (i + 1) % peekEvery == 0) {
                ExpectHolds(kind, i + 1);
            }
        }
    }

    void ExpectHolds(Kind kind, int count) const {
        ASSERT_EQ(EntityIDs().size(), static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            ASSERT_EQ(EntityIDs()[i], 3 * i + 1) << "id " << i;
        }
        const std::size_t values[] = {ScalarValues().size(), VectorValues().size(),
                                      ComplexScalarValues().size(), ComplexVectorValues().size()};
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(values[k], k == kind ? static_cast<std::size_t>(count) : 0u) << "kind " << k;
        }
        for (int i = 0; i < count; ++i) {
            const rxDataSet::ComplexVector v = ValueOf(i);
            const void* got = kind == kScalar   ? static_cast<const void*>(&ScalarValues()[i])
                              : kind == kVector ? static_cast<const void*>(&VectorValues()[i])
                              : kind == kComplexScalar
                                  ? static_cast<const void*>(&ComplexScalarValues()[i])
                                  : static_cast<const void*>(&ComplexVectorValues()[i]);
            const float want[] = {v.magnitude.x, kind == kComplexScalar ? v.phase.x : v.magnitude.y,
                                  v.magnitude.z, v.phase.x,
                                  v.phase.y,     v.phase.z};
            const std::size_t floats[] = {1, 3, 2, 6};
            ASSERT_EQ(std::memcmp(got, want, floats[kind] * sizeof(float)), 0) << "value " << i;
        }
    }
};

struct DeliveryCase {
    const char* name;
    int announced;
    int delivered;
    int peekEvery;
};

// 5000 and 20000 entities cross the steps in which storage is made ready.
const DeliveryCase kDeliveries[] = {
    {"as announced", 20000, 20000, 0},
    {"as announced, read throughout", 5000, 5000, 97},
    {"fewer", 20000, 9001, 0},
    {"fewer, read throughout", 100, 37, 1},
    {"more", 3, 20000, 0},
    {"more, read throughout", 1000, 5000, 333},
    {"none announced", 0, 10, 3},
    {"negative announced", -1, 5, 0},
    {"nothing delivered", 50, 0, 0},
};

TEST(HostDelivery, HoldsExactlyWhatWasDeliveredForEveryKind) {
    for (const DeliveryCase& c : kDeliveries) {
        for (int kind = kScalar; kind <= kComplexVector; ++kind) {
            SCOPED_TRACE(testing::Message() << c.name << ", kind " << kind);
            Recipient* set = new Recipient;
            set->Deliver(static_cast<Kind>(kind), c.announced, c.delivered, c.peekEvery);
            set->ExpectHolds(static_cast<Kind>(kind), c.delivered);
            EXPECT_EQ(set->ReservedCount(), c.announced);
            set->Release();
        }
    }
}

TEST(HostDelivery, EachReserveForgetsThePreviousDeliveryAndItsStorage) {
    Recipient* set = new Recipient;
    set->Deliver(kComplexVector, 20000, 20000, 0);
    set->Deliver(kScalar, 4, 6, 0);
    set->ExpectHolds(kScalar, 6);
    // A smaller announcement gives the larger storage back; a delivery that
    // keeps to it stays in the storage sized for it.
    EXPECT_EQ(set->EntityIDs().capacity(), 8u);
    EXPECT_EQ(set->ComplexVectorValues().capacity(), 0u);
    set->Deliver(kVector, 10, 10, 0);
    set->ExpectHolds(kVector, 10);
    EXPECT_EQ(set->EntityIDs().capacity(), 10u);
    EXPECT_EQ(set->VectorValues().capacity(), 10u);
    EXPECT_EQ(set->ScalarValues().capacity(), 0u);
    // Another delivery of the same size and kind reuses the storage.
    const void* storage = set->VectorValues().data();
    set->Deliver(kVector, 10, 10, 0);
    EXPECT_EQ(set->VectorValues().data(), storage);
    EXPECT_EQ(set->ReserveCalls(), 4);
    set->Release();
}

} // namespace
