// BlockValues: one data block read into caller arrays exactly as a data set's
// read delivers it to the host: the same block reader and its bulk record
// reads (whole records only, the count limited to what the rest of the file
// holds, complete only when every stored record arrived), the same record
// layout per read (the component of a scalar, three or six reals of a vector,
// "_NC" magnitudes only) and the same phase conversion. Ids go to an int32 array, values to a
// float array of FloatsPerEntity() per entity: a real scalar, x y z, magnitude
// and phase, or three magnitudes then three phases. The block's file is open
// while this object lives. It allocates nothing from counts in the file.
#pragma once

#include "model/BlockReader.h"
#include "model/DataSetShape.h"

#include <cstdint>

class ResFileSet;

class BlockValues {
public:
    enum class Form { RealScalar, RealVector, ComplexScalar, ComplexVector };

    // The block at `position` of series file `fileIndex`, read as the data
    // set of `shape` reads it with ReadData or, when `complexRead`, with
    // ReadComplexData; `magnitudesOnly` is the "_NC" rule of the data type's
    // name. `shape` must not be DataSetShape::None.
    BlockValues(ResFileSet& files, int32_t fileIndex, int32_t position, const DataSetShape& shape,
                bool complexRead, bool magnitudesOnly);

    Form GetForm() const { return form; }
    int FloatsPerEntity() const;
    static Form FormOf(const DataSetShape& shape, bool complexRead);

    // How many entities Fill can deliver at most.
    int32_t Readable() const { return block.ReadableCount(); }
    // Reads the records into `ids` (Readable() of them) and `values`
    // (Readable() * FloatsPerEntity()); returns how many arrived whole.
    int32_t Fill(int32_t* ids, float* values);
    // Whether the values are columns of the records as read (a real scalar
    // or vector, a complex scalar of magnitude and phase); then FillPacked
    // reads them and the arrays can be views of its records.
    bool Packed() const;
    // Reals per packed record, and the first of them that is a value.
    int RecordReals() const { return realsPerRecord; }
    int ValueColumn() const { return form == Form::RealScalar ? shape.componentIndex : 0; }
    // Reads the records packed (BlockReader::ReadPackedRecords) into
    // `records`, room for Readable() of them, and converts a complex
    // scalar's phases to radians where they stand; returns how many arrived
    // whole. Only when Packed().
    int32_t FillPacked(unsigned char* records);
    // Whether `delivered` entities are the whole block.
    bool Complete(int32_t delivered) const { return block.Complete(delivered); }

private:
    // Whether each record's reals, as read, are the entity's values.
    bool RecordsAreValues() const;
    void Decode(const float* reals, float* value) const;

    Form form;
    DataSetShape shape;
    bool magnitudesOnly;
    int realsPerRecord;
    BlockReader block;
};
