// ResultComparer: compares two results opened through the plug-in road, as
// `kvres-tool diff` does: first their structure (subcase type, data types
// with binding and format, simulation count, labels and sync values), then
// every selected data set present in either: entity ids (matched by id when
// the orders differ) and values within a Tolerance, phases of complex reads
// the shorter way round. It fills a DiffReport and writes nothing.
#pragma once

#include "DiffReport.h"
#include "ToolOptions.h"

#include <string>

class rxResult;

class ResultComparer {
public:
    explicit ResultComparer(const ToolOptions& options) : options(options) {}

    // False when a --type or a --tol names a data type neither result has;
    // `error` then says so.
    bool Compare(rxResult& a, rxResult& b, DiffReport& report, std::string& error) const;

private:
    const ToolOptions& options;
};
