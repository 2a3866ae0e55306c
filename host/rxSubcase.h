// rxSubcase: one load case of a result, with its simulations and the data
// types a reader created for it. The base owns both lists (one reference per
// entry, released when the subcase goes) and asks ReadNumSimulations once.
// A reader overrides the Read operations; the base reads no files.
#pragma once

#include "rxDataType.h"
#include "rxExport.h"
#include "rxObject.h"

#include <string>
#include <vector>

class rxEntityIdReceiver;
class rxResult;
class rxSimulation;

class RX_API rxSubcase : public rxObject {
public:
    rxSubcase(rxResult* result, int id, const char* label);
    ~rxSubcase() override;

    virtual int GetNumSimulations();
    virtual rxSimulation* GetSimulation(int index);
    virtual char GetScalarGroupDelimiter() const;
    virtual int GetSubcaseType();
    virtual int GetAnimationFormat() const;
    virtual int GetAnimationSources() const;
    virtual int GetInterpolationBasis() const;
    virtual int ReadEntityIDs(rxDataType* dataType, int option, rxEntityIdReceiver* receiver);
    virtual int ReadDataTypes();
    virtual bool HasDataTypes(int option);
    virtual int ReadNumSimulations();
    virtual rxSimulation* ReadSimulation(int index);
    virtual int ReadNumHistorySets();
    virtual rxObject* ReadHistorySet(int index);

    int GetID() const { return id; }
    const char* GetLabel() const { return label.c_str(); }
    rxResult* GetResult() const { return result; }

    // Creates a data type, appends it to this subcase's list and returns it.
    rxDataType* CreateDataType(const char* name, rxDataType::Binding binding, int option);
    int GetNumDataTypes() const { return static_cast<int>(dataTypes.size()); }
    rxDataType* GetDataType(int index) const;
    rxDataType* FindDataTypeByName(const char* name) const;

    // Appends a simulation; the subcase takes over the caller's reference.
    void AddSimulation(rxSimulation* simulation);

protected:
    std::vector<rxSimulation*> simulations;
    std::vector<rxDataType*> dataTypes;

private:
    rxResult* result;
    int id;
    std::string label;
    bool numSimulationsKnown = false;
    int numSimulations = 0;
};
