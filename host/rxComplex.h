// rxComplex and MagnitudePhase: a complex value held in polar form, magnitude
// first, then phase in radians. The component type is a float for scalar
// results or an rxVector3D for vector results. Value types only.
#pragma once

template <class T> struct MagnitudePhase {
    T magnitude{};
    T phase{};
};

template <class Form> struct rxComplex : Form {};
