// kvres/reader.h: the kvres C++ read API in one include: kvres::open, the
// Result it returns, the records it answers with and its exceptions. The
// twin of the Python module kvres; no host-library or plug-in type appears
// here.
#pragma once

#include "kvres/ReadError.h"
#include "kvres/Result.h"
#include "kvres/ResultRecords.h"
#include "kvres/version.h"
