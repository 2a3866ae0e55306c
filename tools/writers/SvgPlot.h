// SvgPlot: a standalone SVG line plot of an EntityHistory that a browser shows
// as it is: the sync value on the x axis, one line (with point markers) per
// value column, axis ticks with numbers, axis titles, the data type and entity
// in the title, and a legend. A simulation without the entity, or with a
// non-finite value, leaves a gap in its line, never a zero. Writes text only.
#pragma once

#include "EntityHistory.h"

#include <string>

class SvgPlot {
public:
    // The whole SVG document.
    static std::string Render(const EntityHistory& history);
    // `text` with &, <, > and " escaped for XML.
    static std::string Escape(const std::string& text);
};
