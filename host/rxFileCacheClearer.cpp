#include "rxFileCacheClearer.h"

namespace {

rxFileCacheClearer defaultClearer;
std::atomic<rxFileCacheClearer*> currentClearer{&defaultClearer};

} // namespace

rxFileCacheClearer::~rxFileCacheClearer() = default;

void rxFileCacheClearer::AddFileName(const char* fileName) {
    if (fileName != nullptr) {
        namesReceived.fetch_add(1, std::memory_order_relaxed);
    }
}

rxFileCacheClearer* rxFileCacheClearer::GetInstance() {
    return currentClearer.load();
}

rxFileCacheClearer* rxFileCacheClearer::SetInstance(rxFileCacheClearer* instance) {
    return currentClearer.exchange(instance);
}
