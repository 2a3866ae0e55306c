// ResKind: the table of kind codes, the one place that says what a data-type
// table row of each kind holds and how the host sees it: the reals of one
// block record, whether they are magnitude and phase pairs, whether the kind
// marks the result as complex, the binding and format of its data types, how
// its name is changed between the file and the host (in both directions:
// DataTypeNames applies the changes), and its meaning in words. What a read
// of each format delivers is DataSetRead's, the phase conversion
// PhaseConversion's; this table reads nothing.
#pragma once

#include "host/rxDataType.h"

#include <cstdint>
#include <cstring>

struct ResKind {
    // The host's binding, the one binding enum of the core; NoBinding (0,
    // none of the host's) for a kind the host is not shown.
    using Binding = rxDataType::Binding;
    static constexpr Binding NoBinding = Binding{};
    static constexpr Binding Nodes = rxDataType::Nodes;
    static constexpr Binding Elements = rxDataType::Elements;
    // Triple: three scalar data types, one per component suffix.
    enum Format { NotPresented, Scalar, Vector, Triple };

    // The code of the kind in a data-type table row; kUnknown for every code
    // the table does not know.
    int32_t code;
    // Reals after the entity id in one block record; 0 for a kind whose
    // blocks are never read.
    int realsPerRecord;
    // Whether the reals are magnitude and phase pairs, the phase (stored in
    // degrees, shown in radians) after its magnitude.
    bool magnitudePhase;
    // Whether a block of this kind marks the result as holding complex data.
    bool marksComplex;
    Binding binding;
    Format format;
    // What the stored name ends with and the host does not see (" (c)"):
    // the scan drops as many characters, the writer appends it.
    const char* storedNameEnd;
    // Appended to the name when the result holds complex data ("_NC").
    const char* complexResultSuffix;
    const char* meaning;

    // The codes a file may give and a writer may write: 0 to kCodes - 1.
    static constexpr int32_t kCodes = 9;
    static constexpr int32_t kUnknown = kCodes;
    // The triple's components, in record order; the phase part (in degrees,
    // shown as stored) is the second.
    static constexpr const char* kTripleSuffixes[] = {":Magnitude", ":Phase", ":Offset"};
    static constexpr int kTriplePhasePart = 1;
    // The "_NC" of a real vector in a result with complex data.
    static constexpr const char* kComplexResultMark = "_NC";

    // Characters the scan drops from the end of the stored name.
    int DroppedNameChars() const { return static_cast<int>(std::strlen(storedNameEnd)); }
    bool Presented() const { return format != NotPresented; }
    static bool IsCode(int64_t kind) { return kind >= 0 && kind < kCodes; }

    static const char* BindingName(Binding binding) {
        constexpr const char* names[] = {"none", "nodes", "elements"};
        return names[binding];
    }
    static const char* FormatName(Format format) {
        constexpr const char* names[] = {"none", "scalar", "vector", "triple"};
        return names[format];
    }

    // The row of `kind`; a code outside 0 to 8 is not presented.
    static const ResKind& Of(int32_t kind) {
        static const ResKind table[] = {
            {0, 3, false, false, Nodes, Vector, "", kComplexResultMark, "real vector at nodes"},
            {1, 1, false, false, Nodes, Scalar, "", "", "real scalar at nodes"},
            {2, 0, false, false, NoBinding, NotPresented, "", "", "not presented"},
            {3, 1, false, false, Elements, Scalar, "", "", "real scalar at elements"},
            {4, 6, true, true, Nodes, Vector, " (c)", "", "complex vector at nodes"},
            {5, 2, true, false, Nodes, Scalar, "", "", "complex scalar at nodes"},
            {6, 2, true, true, Elements, Scalar, "", "", "complex scalar at elements"},
            {7, 3, false, false, Nodes, Triple, "", "", "magnitude, phase and offset at nodes"},
            {8, 3, false, true, Elements, Triple, "", "",
             "magnitude, phase and offset at elements"},
            {kUnknown, 0, false, false, NoBinding, NotPresented, "", "",
             "unknown kind, not presented"},
        };
        return table[IsCode(kind) ? kind : kUnknown];
    }
};
