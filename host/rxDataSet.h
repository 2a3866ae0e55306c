// rxDataSet: the values of one data type in one simulation, as the host keeps
// them. A reader derives from rxScalarDataSet or rxVector3DataSet and
// overrides the Read operations; those fill the base through ReserveItems,
// SetEntityID and SetBaseData, which copy what they are given. Each
// ReserveItems starts a new delivery and forgets the previous one; the ids and
// the values of that delivery are stored in space sized from its count, so
// delivering that many entities never reallocates, and more than announced
// grow the storage. The accessors give exactly the items delivered so far.
// The base does not read files and does not check that ids and values pair up.
#pragma once

#include "rxComplex.h"
#include "rxExport.h"
#include "rxObject.h"
#include "rxVector3D.h"

#include <string>
#include <vector>

class rxDataType;
class rxSimulation;

class RX_API rxDataSet : public rxObject {
public:
    enum Format { Scalar = 1, Vector = 2 };

    using ComplexScalar = rxComplex<MagnitudePhase<float>>;
    using ComplexVector = rxComplex<MagnitudePhase<rxVector3D>>;

    rxDataSet(rxSimulation* simulation, rxDataType* dataType, const char* text, Format format);
    ~rxDataSet() override;

    virtual bool ReadData(int option);
    virtual bool ReadCornerData(int option);
    virtual bool ReadComplexData(int option);
    virtual bool ReadComplexCornerData(int option);
    virtual bool RequestCache();

    rxSimulation* GetSimulation() const { return simulation; }
    rxDataType* GetDataType() const { return dataType; }
    const char* GetText() const { return text.c_str(); }
    Format GetFormat() const { return format; }

    // What the latest delivery handed over. The lists are read on the
    // data set's own thread, like the deliveries that fill them.
    int ReservedCount() const { return reservedCount; }
    int ReserveCalls() const { return reserveCalls; }
    const std::vector<int>& EntityIDs() const;
    const std::vector<float>& ScalarValues() const;
    const std::vector<rxVector3D>& VectorValues() const;
    const std::vector<ComplexScalar>& ComplexScalarValues() const;
    const std::vector<ComplexVector>& ComplexVectorValues() const;

protected:
    void ReserveItems(int count);
    void SetEntityID(int id);
    void SetBaseData(float value);
    void SetBaseData(rxVector3D* value);
    void SetBaseData(ComplexScalar* value);
    void SetBaseData(ComplexVector* value);

private:
    // One list of a delivery: `items` holds the delivered ones in
    // [data, next) and, in [next, end), slots made ready for the next ones
    // (end is data + size). An accessor trims the ready slots off, so the
    // list then holds exactly what was delivered.
    template <class T> struct Column {
        std::vector<T> items;
        T* next = nullptr;
        T* end = nullptr;
    };

    // The path of an append that finds no ready slot: the first value of a
    // delivery, a list made exact by an accessor, or one full at capacity.
    template <class T> void AppendSlow(Column<T>& column, T value);

    rxSimulation* simulation;
    rxDataType* dataType;
    std::string text;
    Format format;
    int reservedCount = 0;
    int reserveCalls = 0;
    mutable Column<int> ids;
    mutable Column<float> scalars;
    mutable Column<rxVector3D> vectors;
    mutable Column<ComplexScalar> complexScalars;
    mutable Column<ComplexVector> complexVectors;
};
