#include "Commands.h"

namespace commands {

int History(const ToolOptions&) {
    Complain("'history' is not built yet");
    return kFailure;
}

} // namespace commands
