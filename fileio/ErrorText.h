// ErrorText: the words of the failures that several layers report (the C++
// read API, the Python module, the tool, hostkit): each condition's message
// built here once, so that they all say it alike. A caller may add its own
// context after it (the names it knows, a hint); the wording of the condition
// itself comes from here. Pure string work, inline; reads nothing.
#pragma once

#include <string>

// A data type asked for by a name no data type of the result has.
inline std::string NoDataTypeNamed(const std::string& name) {
    return "no data type named '" + name + "'";
}

// An operation on an object already closed (`what`: "kvres::Result",
// "kvres.Result", "kvres.Writer").
inline std::string OperationOnClosed(const std::string& what) {
    return "operation on a closed " + what;
}

// A file whose title does not mark it as a .res result file, `why` saying
// how (empty, too short, another title); `forcing` is how the caller opens
// it anyway ("open(path, true)").
inline std::string NotAResultFile(const std::string& path, const std::string& why,
                                  const std::string& forcing) {
    return path + ": not a .res result file (" + why + "); " + forcing + " reads it anyway";
}

// A simulation index outside the `count` simulations of a result.
inline std::string SimulationIndexOutOfRange(long long count) {
    return "simulation index out of range (the result has " + std::to_string(count) + ")";
}
