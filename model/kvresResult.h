// kvresResult: a .res results set as the host sees it. Owns the file-set
// reader (opened on the user's file at construction, series discovered) and
// the data-type directory. ReadNumSubcases runs the structure scan once: one
// subcase "Loadcase 1", its simulations file by file, and every data type's
// block locations; it reads no values. It hands the directory and the
// reader down to the simulations it creates; the subcase asks it for them.
#pragma once

#include "fileio/ResFileSet.h"
#include "model/DataTypeDirectory.h"

#include "rxResult.h"

#include <cstdint>

class kvresSubcase;
class StructureReader;

class kvresResult : public rxResult {
public:
    explicit kvresResult(const char* fileName);
    ~kvresResult() override;

    // The structure scan. A second call changes nothing and returns the
    // number of subcases again. A scan that cannot finish (out of memory)
    // leaves the result as one whose file could not be read: the one subcase
    // with no simulations and no data types, or no subcase when even that
    // cannot be made. Throws nothing.
    int ReadNumSubcases() override;
    rxSubcase* ReadSubcase(int index) override;

    // The file-set reader, its current file rewound to byte 0. Never null.
    ResFileSet* GetFileSet();
    // The file-set reader as it stands, not rewound.
    ResFileSet& FileSet() { return fileSet; }

    DataTypeEntry* RegisterBlock(rxSimulation* simulation, const char* name, int32_t kind,
                                 int32_t position, int32_t fileIndex);
    const DataTypeEntry* FindDataType(const char* name) const;
    const DataTypeDirectory& DataTypes() const { return dataTypes; }
    bool HasComplexData() const { return hasComplexData; }

private:
    void Scan();
    void ScanFile(kvresSubcase& subcase, int fileIndex, float& previousValue);
    void ReadTableRows(StructureReader& reader, const ScannedTables::Run& run);
    void FinishNames();
    void ForgetScan() noexcept;

    // Declaration order matters: the file set goes first when the result is
    // destroyed (closing any open file), then the directory.
    DataTypeDirectory dataTypes;
    bool hasComplexData = false;
    ResFileSet fileSet;
    bool scanned = false;
};
