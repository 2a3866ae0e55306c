// ToolOptions: what the command line asked kvres-tool to do, as plain values.
// Filled by CommandLine; it checks nothing itself and knows nothing of files.
// Each command reads the fields it has options for.
#pragma once

#include "ResultSelection.h"
#include "SimulationList.h"

#include <string>
#include <utility>
#include <vector>

struct ToolOptions {
    enum class Command { None, Info, Dump, Check, Diff, History, Convert, Help, Version };
    enum class Format { Text, Json, Csv };

    Command command = Command::None;
    std::string file;       // FILE, or A for diff
    std::string otherFile;  // B for diff
    std::string pluginPath; // empty: the plug-in beside the executable
    bool force = false;
    bool quiet = false; // no progress bar, no notes
    Format format = Format::Text;
    // dump, diff, convert: --type (exact names or globs), --read,
    // --entity-ids; selection.simulations is filled from `simulations` once
    // the result's count is known.
    ResultSelection selection;
    SimulationList simulations; // --sim (diff: also --sims)

    // check
    bool deep = false;

    // diff: two numbers differ when |a - b| > max(atol, rtol * max(|a|, |b|))
    // after numbers below the floor in magnitude are taken as 0.
    double rtol = 1e-6;
    double atol = 0.0;
    double floor = 0.0;
    struct TypeTolerance {
        std::string name;
        double rtol = 0.0;
        double atol = 0.0;
    };
    std::vector<TypeTolerance> typeTolerances;

    // history
    std::string typeName;
    int entity = 0;
    std::string svgPath;

    // convert: IN is `file`, OUT `otherFile`; --type goes to selection.types
    std::string encoding; // empty: that of IN's first file
    bool salvage = false;
    bool nanAsInfinity = false;
    bool replaceSeries = false;

    // help: the text to print for `--help` (of the tool or of one command)
    std::string helpText;
    // the command named on the line ("" when none), and the usage to print
    // after a mistake: that command's, or the tool's
    std::string commandName;
    std::string usageText;
};
