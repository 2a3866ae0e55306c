// CheckFormatter: writes a CheckReport as text for people or as the JSON
// document other programs parse (keys as the README lists them). It writes
// to an OutputBuffer; it reads no files.
#pragma once

#include "CheckReport.h"
#include "OutputBuffer.h"

class CheckFormatter {
public:
    explicit CheckFormatter(OutputBuffer& out) : out(out) {}

    void WriteJson(const CheckReport& report);
    void WriteText(const CheckReport& report);

private:
    OutputBuffer& out;
};
