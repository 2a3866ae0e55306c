#include "ReaderPlugin.h"

#include "fileio/ResLayout.h"

#include <cstring>

using reslayout::FieldText;

ReaderPlugin::ReaderPlugin() {
    std::memset(&record, 0, sizeof(record));
}

bool ReaderPlugin::Load(const std::string& path, std::string& error) {
    if (!library.Open(path, error)) {
        return false;
    }
    void* symbol = library.Symbol(rxSupplyReaderFunctionTableName);
    if (symbol == nullptr) {
        error = std::string("no exported function ") + rxSupplyReaderFunctionTableName;
        return false;
    }
    // Converting a data pointer to a function pointer is what every dlsym
    // user does; POSIX guarantees it works.
    rxSupplyReaderFunctionTable* supply = nullptr;
    static_assert(sizeof(supply) == sizeof(symbol), "function and data pointers differ in size");
    std::memcpy(&supply, &symbol, sizeof(supply));

    std::memset(&record, 0, sizeof(record));
    if (!supply(&record)) {
        error = std::string(rxSupplyReaderFunctionTableName) + " returned false";
        return false;
    }
    if (record.identifyFile == nullptr || record.createResult == nullptr) {
        error = "the reader record lacks a callback";
        return false;
    }
    return true;
}

std::string ReaderPlugin::DisplayName() const {
    return FieldText(record.displayName, static_cast<int>(sizeof(record.displayName)));
}

std::string ReaderPlugin::FileFilter() const {
    return FieldText(record.fileFilter, static_cast<int>(sizeof(record.fileFilter)));
}

bool ReaderPlugin::Identify(const std::string& path) const {
    return record.identifyFile != nullptr && record.identifyFile(path.c_str());
}

rxResult* ReaderPlugin::CreateResult(const std::string& path, rxAllocator* allocator) const {
    if (record.createResult == nullptr) {
        return nullptr;
    }
    return record.createResult(path.c_str(), allocator);
}
