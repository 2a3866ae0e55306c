#include "ReaderPlugin.h"

#include <cstring>

namespace {

// A NUL-terminated text of a fixed-width field, bounded by the field.
std::string FieldText(const char* field, std::size_t width) {
    const void* end = std::memchr(field, '\0', width);
    const std::size_t length =
        end != nullptr ? static_cast<std::size_t>(static_cast<const char*>(end) - field) : width;
    return std::string(field, length);
}

} // namespace

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
    return FieldText(record.displayName, sizeof(record.displayName));
}

std::string ReaderPlugin::FileFilter() const {
    return FieldText(record.fileFilter, sizeof(record.fileFilter));
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
