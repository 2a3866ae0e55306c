#include "model/kvresSubcase.h"

#include "fileio/ResFileSet.h"
#include "fileio/ResKind.h"
#include "model/BlockReader.h"
#include "model/HostBoundary.h"
#include "model/kvresResult.h"

#include "rxEntityIdReceiver.h"

#include <new>
#include <string>

namespace {

// One host data type with its attribute. No memory for it (the host's
// allocator gave none) is an out-of-memory like any other.
void CreatePresented(rxSubcase& subcase, const std::string& name, const ResKind& kind) {
    const bool elements = kind.binding == ResKind::Elements;
    rxDataType* type = subcase.CreateDataType(name.c_str(), kind.binding, -1);
    if (type == nullptr) {
        throw std::bad_alloc();
    }
    type->AddAttribute(elements ? "Elements" : "Node",
                       kind.format == ResKind::Vector ? rxDataSet::Vector : rxDataSet::Scalar, 0,
                       false);
}

} // namespace

kvresSubcase::kvresSubcase(kvresResult* result)
    : rxSubcase(result, 1, "Loadcase 1"), owner(*result) {}

kvresSubcase::~kvresSubcase() = default;

int kvresSubcase::GetSubcaseType() {
    return owner.HasComplexData() ? 1 : 2;
}

// Creates the host data types of the directory's entries. When that cannot
// finish (no memory), the data types made by this call are released again
// and the answer is the number left, as before the call.
int kvresSubcase::ReadDataTypes() {
    const std::size_t before = dataTypes.size();
    AtHostBoundary(
        false,
        [&] {
            CreateDataTypes();
            return true;
        },
        [&] {
            while (dataTypes.size() > before) {
                rxDataType* made = dataTypes.back();
                dataTypes.pop_back();
                if (made != nullptr) {
                    made->Release();
                }
            }
        });
    return GetNumDataTypes();
}

void kvresSubcase::CreateDataTypes() {
    const DataTypeDirectory& directory = owner.DataTypes();
    const std::size_t entries = directory.Size();
    for (std::size_t index = 0; index < entries; ++index) {
        const DataTypeEntry& entry = directory.At(index);
        const ResKind& kind = ResKind::Of(entry.Kind());
        if (kind.format == ResKind::Triple) {
            for (const char* suffix : ResKind::kTripleSuffixes) {
                CreatePresented(*this, entry.Name() + suffix, kind);
            }
        } else if (kind.format != ResKind::NotPresented) {
            CreatePresented(*this, entry.Name(), kind);
        }
    }
}

bool kvresSubcase::HasDataTypes(int) {
    return GetNumDataTypes() > 0;
}

int kvresSubcase::ReadNumSimulations() {
    return static_cast<int>(simulations.size());
}

rxSimulation* kvresSubcase::ReadSimulation(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= simulations.size()) {
        return nullptr;
    }
    return simulations[static_cast<std::size_t>(index)];
}

// An exception (no memory, a host call) ends the read with 0 rather than
// crossing into the host.
int kvresSubcase::ReadEntityIDs(rxDataType* dataType, int option, rxEntityIdReceiver* receiver) {
    return AtHostBoundary(0, [&] { return ReadBlockEntityIDs(dataType, option, receiver); });
}

// The ids of a data type's block in the first simulation. The receiver hears
// of no more entities than the file holds whole records for, and gets only
// ids read from the file; the answer is the number of ids handed over.
int kvresSubcase::ReadBlockEntityIDs(rxDataType* dataType, int, rxEntityIdReceiver* receiver) {
    if (dataType == nullptr || receiver == nullptr) {
        return 0;
    }
    ResFileSet* files = owner.GetFileSet();
    const char* name = dataType->GetName();
    if (name == nullptr || *name == '\0') {
        return 0;
    }
    const DataTypeEntry* entry = owner.FindDataType(name);
    if (entry == nullptr) {
        return 0;
    }
    int32_t position = 0;
    int32_t fileIndex = 0;
    if (!entry->FindLocation(GetSimulation(0), &position, &fileIndex)) {
        return 0;
    }
    const int realsPerRecord = ResKind::Of(entry->Kind()).realsPerRecord;
    if (realsPerRecord == 0) {
        // A kind without a record layout has no entities to report.
        receiver->SetNumEntities(0);
        return 0;
    }
    BlockReader block(*files, fileIndex, position, realsPerRecord);
    receiver->SetNumEntities(block.ReadableCount());
    // The reals are read, not skipped by seeking, so their width follows the
    // file's real encoding; they are not decoded.
    return block.ForEachRecord([receiver](int32_t id, const float*) { receiver->AddEntityID(id); },
                               false);
}
