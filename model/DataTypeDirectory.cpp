#include "model/DataTypeDirectory.h"

#include <string>
#include <utility>

DataTypeEntry& DataTypeDirectory::EntryFor(const char* name, int32_t kind) {
    RefreshIndex();
    std::string key = name != nullptr ? name : "";
    auto found = firstByName.find(key);
    if (found != firstByName.end()) {
        return entries[found->second];
    }
    entries.emplace_back(key, kind, tables.get());
    bool added = false;
    try {
        added = registered.emplace(key, entries.size() - 1).second;
        firstByName.emplace(std::move(key), entries.size() - 1);
    } catch (...) {
        if (added) {
            registered.erase(entries.back().Name());
        }
        entries.pop_back();
        throw;
    }
    return entries.back();
}

DataTypeEntry& DataTypeDirectory::RegisterBlock(rxSimulation* simulation, const char* name,
                                                int32_t kind, int32_t position, int32_t fileIndex) {
    DataTypeEntry& entry = EntryFor(name, kind);
    entry.AddLocation(BlockLocation{simulation, position, fileIndex});
    return entry;
}

std::vector<ScannedTables::Run> DataTypeDirectory::AddTable(rxSimulation* simulation,
                                                            int32_t fileIndex,
                                                            int64_t firstRowPosition,
                                                            int32_t rowBytes, int64_t rowCount) {
    return tables->AddWindow(simulation, fileIndex, firstRowPosition, rowBytes, rowCount);
}

DataTypeEntry& DataTypeDirectory::RegisterRow(const ScannedTables::Run& run, int64_t row,
                                              const char* name, int32_t kind, int32_t position) {
    DataTypeEntry& entry = EntryFor(name, kind);
    entry.AddRow(run.rowSet, row, position);
    return entry;
}

void DataTypeDirectory::EndTables() {
    for (DataTypeEntry& entry : entries) {
        entry.SortRows();
    }
}

const DataTypeEntry* DataTypeDirectory::FindExact(const std::string& name) const {
    RefreshIndex();
    auto found = firstByName.find(name);
    return found != firstByName.end() ? &entries[found->second] : nullptr;
}

const DataTypeEntry* DataTypeDirectory::FindRegistered(const std::string& name) const {
    const auto found = registered.find(name);
    return found != registered.end() ? &entries[found->second] : nullptr;
}

const DataTypeEntry* DataTypeDirectory::FindDataType(const char* name) const {
    if (name == nullptr) {
        return nullptr;
    }
    std::string given = name;
    if (const DataTypeEntry* exact = FindExact(given)) {
        return exact;
    }
    std::size_t colon = given.rfind(':');
    if (colon == std::string::npos) {
        return nullptr;
    }
    return FindExact(given.substr(0, colon));
}

void DataTypeDirectory::Clear() noexcept {
    entries.clear();
    firstByName.clear();
    registered.clear();
    tables->Clear();
    indexStale = false;
}

void DataTypeDirectory::Rename(std::size_t index, std::string newName) {
    if (index >= entries.size()) {
        return;
    }
    entries[index].Rename(std::move(newName));
    indexStale = true;
}

void DataTypeDirectory::RefreshIndex() const {
    if (!indexStale) {
        return;
    }
    // Renaming can make two names equal; the earlier entry answers, as a walk
    // from the front would find it.
    firstByName.clear();
    for (std::size_t index = 0; index < entries.size(); ++index) {
        firstByName.emplace(entries[index].Name(), index);
    }
    indexStale = false;
}
