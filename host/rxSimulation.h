// rxSimulation: one labelled state (time step, frequency, mode) of a subcase,
// with its sync value. A reader overrides ReadDataSet to hand out data sets;
// the base keeps the subcase, the sync value and the label and answers the
// host's lookups. Positions, adaptivity and erosion are not supported by the
// base: their Read operations answer false.
#pragma once

#include "mxModel.h"
#include "rxExport.h"
#include "rxObject.h"

#include <string>

class rxDataSet;
class rxDataType;
class rxResult;
class rxSubcase;

class RX_API rxSimulation : public rxObject {
public:
    rxSimulation(rxSubcase* subcase, float syncValue, const char* label);
    ~rxSimulation() override;

    virtual float GetSyncValue() const;
    virtual const char* GetLabel() const;
    virtual rxSubcase* GetSubcase() const;
    virtual rxResult* GetResult() const;
    virtual bool LoadPosition(mxModel* model);
    // The data set of the subcase's data type called `name`, or null. The
    // caller owns the reference it returns.
    virtual rxDataSet* GetDataSet(const char* name);
    virtual int GetDataTypeTable(rxDataType* dataType);

    virtual rxDataSet* ReadDataSet(rxDataType* dataType, const char* text);
    virtual int ReadExtraData();
    virtual bool ReadPosition(mxModel* model);
    virtual bool ReadAdaptivity(mxModel* model);
    virtual bool ReadErosion(mxModel* model);

private:
    rxSubcase* subcase;
    float syncValue;
    std::string label;
};
