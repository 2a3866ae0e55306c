// ValueForm: the layout of one entity's floats as a read delivers them:
// RealScalar 1; RealVector 3 (x y z); ComplexScalar 2 (magnitude, phase);
// ComplexVector 6 (three magnitudes, then three phases). The one definition:
// the block decoding (DataSetRead), the tool's rows (hostkit), the C++ API
// and the Python module all use it. Declares nothing else and needs nothing.
#pragma once

namespace kvres {

enum class ValueForm { RealScalar, RealVector, ComplexScalar, ComplexVector };

} // namespace kvres
