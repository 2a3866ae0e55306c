#include "rxFileCacheClearer.h"

namespace {

rxFileCacheClearer defaultClearer;
rxFileCacheClearer* currentClearer = &defaultClearer;

} // namespace

rxFileCacheClearer::~rxFileCacheClearer() = default;

void rxFileCacheClearer::AddFileName(const char* fileName) {
    if (fileName != nullptr) {
        ++namesReceived;
    }
}

rxFileCacheClearer* rxFileCacheClearer::GetInstance() {
    return currentClearer;
}

rxFileCacheClearer* rxFileCacheClearer::SetInstance(rxFileCacheClearer* instance) {
    rxFileCacheClearer* previous = currentClearer;
    currentClearer = instance;
    return previous;
}
