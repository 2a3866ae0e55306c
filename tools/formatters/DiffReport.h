// DiffReport: what `kvres-tool diff` found between result sets A and B, as
// plain values: the differences of structure in words, and per data set
// compared the counts and the largest differences. Filled by ResultComparer,
// written by DiffFormatter; it holds no host object.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct DiffReport {
    // Where a largest difference occurs.
    struct Extreme {
        bool any = false;
        double difference = 0.0;
        int id = 0;
        int component = 0;
        int simulation = 0;
    };
    struct DataSet {
        std::string dataType;
        int simulation = 0;  // in A
        int simulationB = 0; // in B
        bool complexRead = false;
        bool inA = true;
        bool inB = true;
        bool okA = true;
        bool okB = true;
        std::int64_t compared = 0;
        std::int64_t differing = 0;
        std::vector<int> onlyInA; // the first few ids found in A only
        std::vector<int> onlyInB;
        std::int64_t onlyInACount = 0;
        std::int64_t onlyInBCount = 0;
        std::string problem; // e.g. value layouts that do not match
        Extreme largestAbsolute;
        Extreme largestRelative;

        bool Differs() const {
            return differing > 0 || !inA || !inB || !okA || !okB || onlyInACount > 0 ||
                   onlyInBCount > 0 || !problem.empty();
        }
    };

    std::string fileA, fileB;
    double rtol = 0.0, atol = 0.0, floor = 0.0;
    std::vector<std::string> structure;
    std::vector<DataSet> dataSets;
    Extreme largestAbsolute;
    Extreme largestRelative;

    bool Equal() const {
        if (!structure.empty()) {
            return false;
        }
        for (const DataSet& dataSet : dataSets) {
            if (dataSet.Differs()) {
                return false;
            }
        }
        return true;
    }
};
