// ResultQueries: the answers of the read API that walk an opened result's
// structure: the subcase, data types, series files and simulation table as
// the public records, the union of the entity ids data types report, the
// one-call summary and one entity's history over every simulation. kvres::Result
// and the Python module both answer through it, so the two cannot differ.
// Failures are the exceptions of kvres/ReadError.h; a series file changed
// meanwhile is the caller's to judge (EmbeddedResult's operations). It
// decodes no block itself (BlockValues does) and knows nothing of Python.
#pragma once

#include "kvres/ReadError.h"
#include "kvres/ResultRecords.h"

#include "BlockValues.h"
#include "EmbeddedResult.h"

#include <cstdint>
#include <string>
#include <vector>

class rxDataType;

class ResultQueries {
public:
    // The data type called exactly `name`; throws DataTypeNotFoundError.
    static rxDataType& FindType(const EmbeddedResult& open, const std::string& name);
    // The simulation `given` names (negative counts from the end); throws
    // SimulationIndexError.
    static int SimulationIndex(const EmbeddedResult& open, long long given);
    // Whether a read in `mode` is complex: Auto follows the subcase.
    static bool IsComplexRead(const EmbeddedResult& open, kvres::ReadMode mode);

    // The subcase, false when there is none.
    static bool SubcaseOf(const EmbeddedResult& open, kvres::Subcase& subcase);
    static std::vector<kvres::DataType> DataTypes(const EmbeddedResult& open);
    // Every file of the series, its header read anew.
    static std::vector<kvres::SeriesFile> Files(const EmbeddedResult& open);
    // The simulations there are, in order.
    static std::vector<kvres::Simulation> Simulations(const EmbeddedResult& open);
    // The sync value and label of every simulation, 0 and "" for a missing one.
    static void Table(const EmbeddedResult& open, std::vector<float>& sync,
                      std::vector<std::string>& labels);
    // The sorted union of the entity ids the data types `names` report.
    static std::vector<int32_t> UnionOf(const EmbeddedResult& open,
                                        const std::vector<std::string>& names);
    // The summary of the result, without the data types named in `drop`
    // (recognized left false: the caller knows it).
    // `withIds` false leaves nodeIds and elementIds empty (they read a block
    // of every data type).
    static kvres::Summary Summary(const EmbeddedResult& open, const std::vector<std::string>& drop,
                                  bool withIds = true);
    // The values of entity `entity` of data type `name` in every simulation;
    // a block holding the entity twice gives its first record.
    static kvres::History History(const EmbeddedResult& open, const std::string& name,
                                  int32_t entity, bool complexRead);
};
