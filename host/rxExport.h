// rxExport: the export/import marker of the host results library.
// Classes of rxResult are exported from its shared library and imported by
// the plug-in and by hosts; on platforms without declspec it marks default
// visibility so that a plug-in built with hidden visibility still links.
#pragma once

#if defined(_WIN32)
#if defined(RX_BUILDING_LIBRARY)
#define RX_API __declspec(dllexport)
#else
#define RX_API __declspec(dllimport)
#endif
#else
#define RX_API __attribute__((visibility("default")))
#endif
