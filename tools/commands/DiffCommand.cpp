#include "Commands.h"

namespace commands {

int Diff(const ToolOptions&) {
    Complain("'diff' is not built yet");
    return kFailure;
}

} // namespace commands
