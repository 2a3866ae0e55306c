// ReaderApi: how the symbols of the kvres reader library are exported: the
// library is built with hidden visibility and exports only what carries
// KVRES_READER_API. Declares nothing else.
#pragma once

#if defined(_WIN32)
#if defined(KVRES_BUILDING_READER)
#define KVRES_READER_API __declspec(dllexport)
#else
#define KVRES_READER_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define KVRES_READER_API __attribute__((visibility("default")))
#else
#define KVRES_READER_API
#endif
