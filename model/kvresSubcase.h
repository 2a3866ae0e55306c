// kvresSubcase: the one load case "Loadcase 1" of a results set. Presents
// the directory's entries as host data types (three for a triple), tells
// whether the results are complex, hands out the simulations the scan
// appended, and reads the entity ids of a data type from its block in the
// first simulation, all from the result that creates it (its parent: the
// directory, the complex-data flag, the file-set reader). Owns nothing beyond
// its host base. No operation lets an exception pass to the host: each
// answers it with its failure answer.
#pragma once

#include "rxSubcase.h"

class kvresResult;

class kvresSubcase : public rxSubcase {
public:
    explicit kvresSubcase(kvresResult* result);
    ~kvresSubcase() override;

    int GetSubcaseType() override;
    int ReadEntityIDs(rxDataType* dataType, int option, rxEntityIdReceiver* receiver) override;
    int ReadDataTypes() override;
    bool HasDataTypes(int option) override;
    int ReadNumSimulations() override;
    rxSimulation* ReadSimulation(int index) override;

private:
    void CreateDataTypes();
    int ReadBlockEntityIDs(rxDataType* dataType, int option, rxEntityIdReceiver* receiver);

    kvresResult& owner;
};
