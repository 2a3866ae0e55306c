// Drives the whole reader on arbitrary bytes as a host would: open, scan,
// create the data types, ask for their entity ids, and read every data set
// of every simulation in both forms. Any crash, leak or sanitizer report is
// a fault; the answers themselves are not checked here.
#include "model/kvresResult.h"

#include "rxDataSet.h"
#include "rxEntityIdReceiver.h"
#include "rxSimulation.h"
#include "rxSubcase.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

class IgnoringReceiver : public rxEntityIdReceiver {
public:
    void SetNumEntities(int) override {}
    void AddEntityID(int) override {}
};

std::string InputPath() {
    return "/tmp/kvres-fuzz-" + std::to_string(static_cast<long>(getpid())) + ".res";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = InputPath();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return 0;
    }
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    kvresResult* result = new kvresResult(path.c_str());
    if (result == nullptr) {
        return 0;
    }
    result->GetNumSubcases();
    if (rxSubcase* subcase = result->GetSubcase(0)) {
        subcase->ReadDataTypes();
        subcase->GetSubcaseType();
        IgnoringReceiver receiver;
        for (int t = 0; t < subcase->GetNumDataTypes(); ++t) {
            subcase->ReadEntityIDs(subcase->GetDataType(t), 0, &receiver);
        }
        const int simulations = subcase->GetNumSimulations();
        for (int s = 0; s < simulations && s < 64; ++s) {
            rxSimulation* simulation = subcase->GetSimulation(s);
            for (int t = 0; t < subcase->GetNumDataTypes(); ++t) {
                rxDataSet* set = simulation->ReadDataSet(subcase->GetDataType(t), "");
                if (set != nullptr) {
                    set->ReadData(0);
                    set->ReadComplexData(0);
                    set->Release();
                }
            }
        }
    }
    result->Release();
    return 0;
}
