// ResKind: the table of kind codes, the one place that says what a data-type
// table row of each kind holds and how the host sees it: the reals of one
// block record, whether the kind marks the result as complex, the binding and
// format of its data types, how its name is changed, and its meaning in
// words. What a read of each format delivers is DataSetRead's; this table
// reads nothing.
#pragma once

#include "host/rxDataType.h"

#include <cstdint>

struct ResKind {
    // The host's binding, the one binding enum of the core; NoBinding (0,
    // none of the host's) for a kind the host is not shown.
    using Binding = rxDataType::Binding;
    static constexpr Binding NoBinding = Binding{};
    static constexpr Binding Nodes = rxDataType::Nodes;
    static constexpr Binding Elements = rxDataType::Elements;
    // Triple: three scalar data types, one per component suffix.
    enum Format { NotPresented, Scalar, Vector, Triple };

    // Reals after the entity id in one block record; 0 for a kind whose
    // blocks are never read.
    int realsPerRecord;
    // Whether a block of this kind marks the result as holding complex data.
    bool marksComplex;
    Binding binding;
    Format format;
    // Characters the scan drops from the end of the name (kind 4's " (c)").
    int droppedNameChars;
    // Appended to the name when the result holds complex data ("_NC").
    const char* complexResultSuffix;
    const char* meaning;

    // The triple's components, in record order.
    static constexpr const char* kTripleSuffixes[] = {":Magnitude", ":Phase", ":Offset"};

    // The row of `kind`; a code outside 0 to 8 is not presented.
    static const ResKind& Of(int32_t kind) {
        static const ResKind table[] = {
            {3, false, Nodes, Vector, 0, "_NC", "real vector at nodes"},
            {1, false, Nodes, Scalar, 0, "", "real scalar at nodes"},
            {0, false, NoBinding, NotPresented, 0, "", "not presented"},
            {1, false, Elements, Scalar, 0, "", "real scalar at elements"},
            {6, true, Nodes, Vector, 4, "", "complex vector at nodes"},
            {2, false, Nodes, Scalar, 0, "", "complex scalar at nodes"},
            {2, true, Elements, Scalar, 0, "", "complex scalar at elements"},
            {3, false, Nodes, Triple, 0, "", "magnitude, phase and offset at nodes"},
            {3, true, Elements, Triple, 0, "", "magnitude, phase and offset at elements"},
            {0, false, NoBinding, NotPresented, 0, "", "unknown kind, not presented"},
        };
        constexpr int32_t kUnknown = 9;
        return table[kind >= 0 && kind < kUnknown ? kind : kUnknown];
    }
};
