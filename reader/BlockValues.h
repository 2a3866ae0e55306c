// BlockValues: one data block read into caller arrays exactly as a data set's
// read delivers it to the host: the same block reader and its bulk record
// reads (whole records only, the count limited to what the rest of the file
// holds, complete only when every stored record arrived) and the same
// DataSetRead, which says what each record holds and what it delivers. Ids
// go to an int32 array, values to a float array of FloatsPerEntity() per
// entity. The block's file is open while this object lives. It allocates
// nothing from counts in the file.
#pragma once

#include "model/BlockReader.h"
#include "model/DataSetRead.h"

#include <cstdint>

class ResFileSet;

class BlockValues {
public:
    using Form = DataSetRead::Form;

    // The block at `position` of series file `fileIndex`, read as the data
    // set of `shape` reads it with ReadData or, when `complexRead`, with
    // ReadComplexData. `shape` must not be DataSetShape::None.
    BlockValues(ResFileSet& files, int32_t fileIndex, int32_t position, const DataSetShape& shape,
                bool complexRead)
        : read(shape, complexRead), block(files, fileIndex, position, read.RecordReals()) {}

    Form GetForm() const { return read.GetForm(); }
    int FloatsPerEntity() const { return read.Floats(); }

    // How many entities Fill can deliver at most.
    int32_t Readable() const { return block.ReadableCount(); }
    // Reads the records into `ids` (Readable() of them) and `values`
    // (Readable() * FloatsPerEntity()); returns how many arrived whole.
    int32_t Fill(int32_t* ids, float* values);
    // Whether the values are columns of the records as read (DataSetRead's
    // InPlace); then FillPacked reads them and the arrays can be views of
    // its records.
    bool Packed() const { return read.InPlace(); }
    // Reals per packed record, and the first of them that is a value.
    int RecordReals() const { return read.RecordReals(); }
    int ValueColumn() const { return read.Window().first; }
    // Reads the records packed (BlockReader::ReadPackedRecords) into
    // `records`, room for Readable() of them, and turns their phases to
    // radians where they stand; returns how many arrived whole. Only when
    // Packed().
    int32_t FillPacked(unsigned char* records);
    // Whether `delivered` entities are the whole block.
    bool Complete(int32_t delivered) const { return block.Complete(delivered); }

private:
    DataSetRead read;
    BlockReader block;
};
