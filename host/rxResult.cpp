#include "rxResult.h"

#include "rxSubcase.h"

rxResult::rxResult(const char* fileName) : fileName(fileName != nullptr ? fileName : "") {}

rxResult::~rxResult() {
    for (rxSubcase* subcase : subcases) {
        if (subcase != nullptr) {
            subcase->Release();
        }
    }
}

void rxResult::Release() {
    rxObject::Release();
}

int rxResult::GetNumSubcases() {
    if (!numSubcasesKnown) {
        numSubcases = ReadNumSubcases();
        numSubcasesKnown = true;
    }
    return numSubcases;
}

rxSubcase* rxResult::GetSubcase(int index) {
    if (index < 0 || index >= GetNumSubcases()) {
        return nullptr;
    }
    return ReadSubcase(index);
}

int rxResult::GetDefaultResultSystemID(rxDataType::Binding, const char*) {
    return 0;
}

int rxResult::GetShellElemSysCalcMethod() const {
    return 0;
}

bool rxResult::DataIsTabular() const {
    return false;
}

int rxResult::ReadNumSubcases() {
    return static_cast<int>(subcases.size());
}

rxSubcase* rxResult::ReadSubcase(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= subcases.size()) {
        return nullptr;
    }
    return subcases[static_cast<std::size_t>(index)];
}
