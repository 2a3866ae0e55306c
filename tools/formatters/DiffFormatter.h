// DiffFormatter: writes a DiffReport as text for people or as the JSON document
// other programs parse (keys as the README lists them). It writes to an
// OutputBuffer; it reads no files.
#pragma once

#include "DiffReport.h"
#include "OutputBuffer.h"

class DiffFormatter {
public:
    explicit DiffFormatter(OutputBuffer& out) : out(out) {}

    void WriteJson(const DiffReport& report);
    void WriteText(const DiffReport& report);

private:
    void JsonExtreme(const DiffReport::Extreme& extreme);
    void TextExtreme(const char* what, const DiffReport::Extreme& extreme);
    void Number(double value);

    OutputBuffer& out;
};
