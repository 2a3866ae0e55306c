// DataSetReference: holds the one reference a ReadDataSet call hands over and
// releases it when it goes, whatever happens in between. Not copyable.
#pragma once

#include <rxDataSet.h>

class DataSetReference {
public:
    explicit DataSetReference(rxDataSet* dataSet) : dataSet(dataSet) {}
    ~DataSetReference() {
        if (dataSet != nullptr) {
            dataSet->Release();
        }
    }
    DataSetReference(const DataSetReference&) = delete;
    DataSetReference& operator=(const DataSetReference&) = delete;
    rxDataSet* Get() const { return dataSet; }

private:
    rxDataSet* dataSet;
};
