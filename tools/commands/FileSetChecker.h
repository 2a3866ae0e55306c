// FileSetChecker: reads a .res file set for `kvres-tool check` through the
// plug-in's own file layer: ResFileSet finds the series and each file's
// encoding and does every read; the layout comes from fileio/ResLayout.h; the
// names and sync values the host will see come from the plug-in's own
// structure scan (a kvresResult on the same path). It walks every table and
// measures every block the host reads against the file's size, and with
// `deep` reads every distinct block's records once. Tables shared or
// overlapping list each row once, so the report grows with the file, not with
// simulations times rows. It fills a CheckReport and writes nothing.
#pragma once

#include "CheckReport.h"

#include <string>

class FileSetChecker {
public:
    // False when the file set is not recognised (no plausible header or a
    // title other than the format's); `error` then says why.
    bool Inspect(const std::string& path, bool deep, CheckReport& report, std::string& error) const;
};
