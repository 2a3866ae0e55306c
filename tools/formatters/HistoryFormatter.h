// HistoryFormatter: writes an EntityHistory as CSV (simulation, label, sync and
// the value columns, empty where the entity is missing), as a JSON document
// (null values where it is missing) or as an aligned text table ("-" where
// it is missing). It writes to an OutputBuffer; CSV texts are raw bytes except
// on a terminal (CsvFormatter::Field).
#pragma once

#include "EntityHistory.h"
#include "OutputBuffer.h"

class HistoryFormatter {
public:
    explicit HistoryFormatter(OutputBuffer& out, bool terminal = false)
        : out(out), terminal(terminal) {}

    void WriteCsv(const EntityHistory& history);
    void WriteJson(const EntityHistory& history);
    void WriteText(const EntityHistory& history);

private:
    OutputBuffer& out;
    bool terminal;
};
