// CheckWriter: writes a CheckReport as text for people or as the JSON
// document other programs parse (keys as the README lists them). It writes
// to an OutputBuffer; it reads no files.
#pragma once

#include "CheckReport.h"
#include "OutputBuffer.h"

class CheckWriter {
public:
    explicit CheckWriter(OutputBuffer& out) : out(out) {}

    void WriteJson(const CheckReport& report);
    void WriteText(const CheckReport& report);

private:
    OutputBuffer& out;
};
