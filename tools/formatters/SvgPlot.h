// SvgPlot: a standalone SVG plot of an EntityHistory that a browser or an SVG
// renderer shows as it is. One panel per quantity, stacked over one shared x
// axis: the values (a real read) or the magnitudes, and, for a complex read,
// the phases in radians as the read delivers them. The x axis is the sync
// value, named from the labels ("Time" for "Time = 0.1") when they agree; it
// has a tick at every simulation when they fit, and every marker carries its
// simulation, label, x and y in a tooltip. Ticks read in short form (1e7,
// 2.5e-3). Within a panel each column has its own colour, marker shape and
// dash, so lines that coincide stay apart. A simulation without the entity,
// or with a non-finite value, leaves a gap, never a zero. Writes text only.
#pragma once

#include "EntityHistory.h"

#include <string>

class SvgPlot {
public:
    // The whole SVG document.
    static std::string Render(const EntityHistory& history);
    // `text` with &, <, > and " escaped for XML.
    static std::string Escape(const std::string& text);
    // A tick's text with `significant` digits (0: as many as the shortest text
    // of the value as a float needs), trailing zeros dropped: positional when
    // `scale` (the axis's largest tick; 0: the value itself) lies from 0.01 up
    // to 10000 ("0.25", "1500"), else a mantissa and a bare exponent ("1e7",
    // "2.5e-3", "-1.5e-5").
    static std::string TickText(double value, int significant = 0, double scale = 0);
    // The x axis's name: the text before the '=' (else ':') of the labels,
    // trimmed, when every label has one and they agree; else "sync value".
    static std::string AxisName(const EntityHistory& history);
};
