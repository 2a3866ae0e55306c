#include "DataSetRows.h"

DataSetRows::DataSetRows(const rxDataSet& dataSet, bool complexRead)
    : dataSet(dataSet),
      layout(LayoutFor(dataSet.GetFormat() == rxDataSet::Vector ? 2 : 1, complexRead)) {
    if (CountOf(layout) != 0) {
        return;
    }
    for (Layout candidate :
         {Layout::RealScalar, Layout::RealVector, Layout::ComplexScalar, Layout::ComplexVector}) {
        if (CountOf(candidate) != 0) {
            layout = candidate;
            return;
        }
    }
}

std::size_t DataSetRows::Count() const {
    return CountOf(layout);
}

std::size_t DataSetRows::CountOf(Layout candidate) const {
    switch (candidate) {
    case Layout::RealScalar:
        return dataSet.ScalarValues().size();
    case Layout::ComplexScalar:
        return dataSet.ComplexScalarValues().size();
    case Layout::RealVector:
        return dataSet.VectorValues().size();
    case Layout::ComplexVector:
        return dataSet.ComplexVectorValues().size();
    }
    return 0;
}

void DataSetRows::Row(std::size_t index, float* row) const {
    switch (layout) {
    case Layout::RealScalar:
        row[0] = dataSet.ScalarValues()[index];
        return;
    case Layout::ComplexScalar: {
        const rxDataSet::ComplexScalar& value = dataSet.ComplexScalarValues()[index];
        row[0] = value.magnitude;
        row[1] = value.phase;
        return;
    }
    case Layout::RealVector: {
        const rxVector3D& value = dataSet.VectorValues()[index];
        row[0] = value.x;
        row[1] = value.y;
        row[2] = value.z;
        return;
    }
    case Layout::ComplexVector: {
        const rxDataSet::ComplexVector& value = dataSet.ComplexVectorValues()[index];
        row[0] = value.magnitude.x;
        row[1] = value.magnitude.y;
        row[2] = value.magnitude.z;
        row[3] = value.phase.x;
        row[4] = value.phase.y;
        row[5] = value.phase.z;
        return;
    }
    }
}

int DataSetRows::WidthOf(Layout layout) {
    switch (layout) {
    case Layout::RealScalar:
        return 1;
    case Layout::ComplexScalar:
        return 2;
    case Layout::RealVector:
        return 3;
    case Layout::ComplexVector:
        return 6;
    }
    return 1;
}

DataSetRows::Layout DataSetRows::LayoutFor(int format, bool complexRead) {
    if (format == rxDataSet::Vector) {
        return complexRead ? Layout::ComplexVector : Layout::RealVector;
    }
    return complexRead ? Layout::ComplexScalar : Layout::RealScalar;
}

const char* const* DataSetRows::ColumnNames(Layout layout) {
    static const char* const realScalar[] = {"value"};
    static const char* const complexScalar[] = {"magnitude", "phase"};
    static const char* const realVector[] = {"x", "y", "z"};
    static const char* const complexVector[] = {"magnitude_x", "magnitude_y", "magnitude_z",
                                                "phase_x",     "phase_y",     "phase_z"};
    switch (layout) {
    case Layout::RealScalar:
        return realScalar;
    case Layout::ComplexScalar:
        return complexScalar;
    case Layout::RealVector:
        return realVector;
    case Layout::ComplexVector:
        return complexVector;
    }
    return realScalar;
}
