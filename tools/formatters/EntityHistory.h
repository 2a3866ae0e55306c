// EntityHistory: the values of one entity of one data type over every
// simulation, as `kvres-tool history` collected them through the plug-in
// road: per simulation its label, sync value, whether the read succeeded and
// whether the entity was there. Plain values, written by HistoryFormatter and
// SvgPlot.
#pragma once

#include <string>
#include <vector>

struct EntityHistory {
    struct Point {
        int simulation = 0;
        std::string label;
        float sync = 0.0f;
        bool ok = true;       // the read returned true (or there was no data set)
        bool present = false; // the entity has values in this simulation
        float values[6] = {};
    };

    std::string file;
    std::string dataType;
    int entity = 0;
    bool complexRead = false;
    std::vector<std::string> columns; // 1, 2, 3 or 6 value names
    std::vector<Point> points;
};
