// The out-of-line parts of the read API's exceptions (kvres/ReadError.h),
// apart from kvres::Result so that the Python module, which reads through
// the same classes, links them too.
#include "kvres/ReadError.h"

namespace kvres {

ReadError::ReadError(const std::string& message) : Error(message) {}
ReadError::~ReadError() = default;
FileError::FileError(const std::string& message, int code) : ReadError(message), errorCode(code) {}
FileError::~FileError() = default;
NotRecognizedError::~NotRecognizedError() = default;
ClosedError::~ClosedError() = default;
DataTypeNotFoundError::~DataTypeNotFoundError() = default;
SimulationIndexError::~SimulationIndexError() = default;
NoValuesError::~NoValuesError() = default;

} // namespace kvres
