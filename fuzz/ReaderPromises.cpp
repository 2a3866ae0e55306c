#include "ReaderPromises.h"

#include "FuzzEntries.h"

#include "rxDataSet.h"
#include "rxEntityIdReceiver.h"
#include "rxResult.h"
#include "rxSimulation.h"
#include "rxSubcase.h"

#include <cstddef>
#include <cstdint>

namespace {

// The smallest simulation-table entry (a 31-byte label and a 4-byte
// position) and the smallest record (a 4-byte id).
constexpr std::int64_t kSmallestSimulationEntry = 35;
constexpr std::int64_t kSmallestRecord = 4;

void Check(bool holds, const char* what) {
    if (!holds) {
        kvresfuzz::FuzzFailure(what);
    }
}

class CheckingReceiver : public rxEntityIdReceiver {
public:
    void SetNumEntities(int count) override {
        Check(announcements == 0 && ids == 0, "ReadEntityIDs: the count came twice or late");
        ++announcements;
        announced = count;
    }
    void AddEntityID(int) override {
        Check(announcements == 1, "ReadEntityIDs: an id came before the count");
        ++ids;
    }

    int announcements = 0;
    std::int64_t announced = 0;
    std::int64_t ids = 0;
};

void CheckDelivery(const rxDataSet& set, const ReaderPromiseLimits& limits) {
    const std::int64_t reserved = set.ReservedCount();
    const std::size_t ids = set.EntityIDs().size();
    const std::size_t values = set.ScalarValues().size() + set.VectorValues().size() +
                               set.ComplexScalarValues().size() + set.ComplexVectorValues().size();
    Check(reserved >= 0, "data set: a negative count was announced");
    Check(reserved * kSmallestRecord <= limits.largestFile,
          "data set: announced more records than the file can hold");
    Check(static_cast<std::int64_t>(ids) <= reserved,
          "data set: delivered more entities than announced");
    Check(values == ids, "data set: entities and values do not pair up");
}

void WalkSubcase(rxSubcase* subcase, const ReaderPromiseLimits& limits) {
    subcase->GetSubcaseType();
    subcase->ReadDataTypes();
    const int types = subcase->GetNumDataTypes();
    for (int t = 0; t < types; ++t) {
        CheckingReceiver receiver;
        const int delivered = subcase->ReadEntityIDs(subcase->GetDataType(t), 0, &receiver);
        Check(delivered == receiver.ids, "ReadEntityIDs: the result differs from the ids given");
        Check(receiver.announced >= 0 && receiver.ids <= receiver.announced,
              "ReadEntityIDs: more ids than announced");
        Check(receiver.announced * kSmallestRecord <= limits.largestFile,
              "ReadEntityIDs: announced more records than the file can hold");
    }
    const int simulations = subcase->GetNumSimulations();
    Check(simulations >= 0 &&
              static_cast<std::int64_t>(simulations) * kSmallestSimulationEntry <= limits.allFiles,
          "scan: more simulations than the files hold entries");
    // At most simulationCap of them, spread evenly from the first to the last.
    const int visited = simulations < limits.simulationCap ? simulations : limits.simulationCap;
    for (int v = 0; v < visited; ++v) {
        const int s = visited < simulations
                          ? static_cast<int>(static_cast<std::int64_t>(v) * (simulations - 1) /
                                             (visited > 1 ? visited - 1 : 1))
                          : v;
        rxSimulation* simulation = subcase->GetSimulation(s);
        Check(simulation != nullptr, "scan: a listed simulation is missing");
        simulation->GetSyncValue();
        simulation->GetLabel();
        for (int t = 0; t < types; ++t) {
            rxDataSet* set = simulation->ReadDataSet(subcase->GetDataType(t), "");
            if (set == nullptr) {
                continue;
            }
            set->ReadData(0);
            CheckDelivery(*set, limits);
            set->ReadComplexData(0);
            CheckDelivery(*set, limits);
            set->Release();
        }
    }
}

} // namespace

void CheckReaderPromises(rxResult* result, const ReaderPromiseLimits& limits) {
    const int subcases = result->GetNumSubcases();
    Check(subcases >= 0, "scan: a negative number of subcases");
    for (int i = 0; i < subcases && i < 4; ++i) {
        if (rxSubcase* subcase = result->GetSubcase(i)) {
            WalkSubcase(subcase, limits);
        }
    }
}
