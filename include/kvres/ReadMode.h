// ReadMode: how a read presents values, real or complex (magnitude and phase
// in radians); Auto follows the subcase. The one definition: the C++ API,
// the Python module and the tool's walks (hostkit) all use it. Declares
// nothing else and needs nothing.
#pragma once

namespace kvres {

enum class ReadMode { Auto, Real, Complex };

} // namespace kvres
