// InfoReport: the readable summary of `kvres-tool info`: whether the plug-in
// recognised the file, each subcase with its label and type, its data types
// (binding, format, in how many simulations each has values) and its
// simulations (label, sync value). It asks the walker; it reads no values.
#pragma once

#include <ostream>
#include <string>

class SelectionDumper;

class InfoReport {
public:
    InfoReport(std::ostream& out, const std::string& readerName);

    void Write(const std::string& file, bool recognized, const SelectionDumper& walker) const;

private:
    std::ostream& out;
    std::string readerName;
};
