// InfoReport: the readable summary of `kvres-tool info`: whether the plug-in
// recognised the file, each subcase with its label and type, its data types
// (binding, format, in how many simulations each has values) and its
// simulations (label, sync value), and the files of the series with the
// simulations each holds; as text or as one JSON document (the fields of the
// Python module's summary that need no values). It asks the walker; it reads
// no values.
#pragma once

#include <ostream>
#include <string>
#include <vector>

class SelectionDumper;

class InfoReport {
public:
    // One file of the series, as the file layer found it.
    struct SeriesFile {
        std::string name;
        bool detected = false;
        std::string title, text1, text2;
        int firstSimulation = 0;
        int simulations = 0;
    };

    InfoReport(std::ostream& out, const std::string& readerName,
               std::vector<SeriesFile> files = {});

    void Write(const std::string& file, bool recognized, const SelectionDumper& walker) const;
    void WriteJson(const std::string& file, bool recognized, const SelectionDumper& walker) const;

private:
    std::ostream& out;
    std::string readerName;
    std::vector<SeriesFile> files;
};
