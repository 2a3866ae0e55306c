// DataSetRows: the values a data set's host base received in one read, seen
// as rows of 1, 2, 3 or 6 floats: a real scalar, a complex scalar (magnitude,
// phase), a real vector (x, y, z) or a complex vector (magnitudes x, y, z,
// then phases x, y, z). The layout follows the read that was called and the
// data set's format; when the plug-in delivered through another overload
// than that, the list it did fill is shown instead. It refers to the data set
// and copies nothing, so it must not outlive it.
#pragma once

#include "kvres/ValueForm.h"

#include <rxDataSet.h>

#include <cstddef>

class DataSetRows {
public:
    using Layout = kvres::ValueForm;

    DataSetRows(const rxDataSet& dataSet, bool complexRead);

    Layout GetLayout() const { return layout; }
    // Floats per row: 1, 2, 3 or 6.
    int Width() const { return WidthOf(layout); }
    std::size_t Count() const;
    // Writes row `index` (below Count()) into `row`, Width() floats.
    void Row(std::size_t index, float* row) const;

    static int WidthOf(Layout layout);
    // The layout the data set of a data type with `format` (1 scalar,
    // 2 vector) gets from a real or complex read.
    static Layout LayoutFor(int format, bool complexRead);
    // Column names of the value columns of `layout`, Width() of them.
    static const char* const* ColumnNames(Layout layout);

private:
    std::size_t CountOf(Layout candidate) const;

    const rxDataSet& dataSet;
    Layout layout;
};
