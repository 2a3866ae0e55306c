// ReadError: the exceptions the kvres reader throws, one type per reason,
// each the twin of the Python module's exception for it. All derive from
// ReadError (a kvres::Error); what() says what went wrong in words.
// They carry no state of the reader.
#pragma once

#include "kvres/Error.h"
#include "kvres/ReaderApi.h"

#include <string>

namespace kvres {

class KVRES_READER_API ReadError : public Error {
public:
    explicit ReadError(const std::string& message);
    ~ReadError() override;
};

// The file cannot be read: missing, a folder, no permission (Python:
// kvres.ReadError, an OSError; kvres.FileNotFoundError and the like where
// the errno has a built-in subclass). code() is the system's errno value.
class KVRES_READER_API FileError : public ReadError {
public:
    FileError(const std::string& message, int code);
    ~FileError() override;
    int code() const noexcept { return errorCode; }

private:
    int errorCode;
};

// The file's title does not mark it as a .res result file; open(path, true)
// reads it anyway (Python: kvres.NotRecognizedError).
class KVRES_READER_API NotRecognizedError : public ReadError {
public:
    using ReadError::ReadError;
    ~NotRecognizedError() override;
};

// An operation on a closed result (Python: kvres.ClosedError, a ValueError).
class KVRES_READER_API ClosedError : public ReadError {
public:
    using ReadError::ReadError;
    ~ClosedError() override;
};

// No data type of that name (Python: kvres.DataTypeNotFoundError, a KeyError).
class KVRES_READER_API DataTypeNotFoundError : public ReadError {
public:
    using ReadError::ReadError;
    ~DataTypeNotFoundError() override;
};

// A simulation index outside the result's simulations (Python:
// kvres.SimulationIndexError, an IndexError).
class KVRES_READER_API SimulationIndexError : public ReadError {
public:
    using ReadError::ReadError;
    ~SimulationIndexError() override;
};

// The data type has no values in that simulation (Python: kvres.NoValuesError,
// a LookupError).
class KVRES_READER_API NoValuesError : public ReadError {
public:
    using ReadError::ReadError;
    ~NoValuesError() override;
};

} // namespace kvres
