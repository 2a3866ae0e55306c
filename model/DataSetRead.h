// DataSetRead: what one read of a data set delivers, in one place for the
// data sets that hand values to the host and for every other reader of
// blocks (the Python module, the public read API): how many reals each record
// holds for the read, which of them it decodes (its window), and how they
// become the entity's floats: a real scalar, x y z, magnitude and phase, or
// three magnitudes then three phases, phases turned from degrees to radians
// and 0 where the record holds none. Reads no files.
#pragma once

#include "fileio/RecordReader.h"
#include "model/DataSetShape.h"
#include "model/PhaseConversion.h"

#include "kvres/ValueForm.h"

class DataSetRead {
public:
    using Form = kvres::ValueForm;

    // The plain read (ReadData) or the complex read (ReadComplexData) of a
    // data set of `shape`, which must not be None.
    DataSetRead(const DataSetShape& shape, bool complexRead)
        : form(FormOf(shape, complexRead)), magnitudesOnly(shape.magnitudesOnly) {
        switch (form) {
        case Form::RealScalar:
            recordReals = shape.componentCount;
            window = {shape.componentIndex, 1};
            break;
        case Form::RealVector:
            recordReals = 3;
            window = {0, 3};
            break;
        case Form::ComplexScalar:
            // Only a record of two reals carries a phase, after the magnitude.
            recordReals = shape.componentCount;
            window = {shape.componentIndex, shape.componentCount == 2 ? 2 : 1};
            break;
        case Form::ComplexVector:
            recordReals = magnitudesOnly ? 3 : 6;
            window = {0, recordReals};
            break;
        }
    }

    static Form FormOf(const DataSetShape& shape, bool complexRead) {
        if (shape.form == DataSetShape::Vector) {
            return complexRead ? Form::ComplexVector : Form::RealVector;
        }
        return complexRead ? Form::ComplexScalar : Form::RealScalar;
    }
    // Floats delivered per entity.
    static int FloatsOf(Form form) {
        constexpr int floats[] = {1, 3, 2, 6};
        return floats[static_cast<int>(form)];
    }

    Form GetForm() const { return form; }
    int Floats() const { return FloatsOf(form); }
    int RecordReals() const { return recordReals; }
    RecordReader::Window Window() const { return window; }
    // Whether the window's reals, with PhasesToRadians applied, are the
    // delivered floats as they stand.
    bool InPlace() const { return form != Form::ComplexVector && window.count == Floats(); }

    // One entity's floats (Floats() of them) from its window's reals.
    void Deliver(const float* reals, float* out) const {
        switch (form) {
        case Form::RealScalar:
            return DeliverAs<Form::RealScalar>(reals, out);
        case Form::RealVector:
            return DeliverAs<Form::RealVector>(reals, out);
        case Form::ComplexScalar:
            return DeliverAs<Form::ComplexScalar>(reals, out);
        case Form::ComplexVector:
            return DeliverAs<Form::ComplexVector>(reals, out);
        }
    }
    // The same for a read known to be of form `F`, for loops that choose
    // their form once.
    template <Form F> void DeliverAs(const float* reals, float* out) const {
        if constexpr (F == Form::RealScalar) {
            out[0] = reals[0];
        } else if constexpr (F == Form::RealVector) {
            out[0] = reals[0];
            out[1] = reals[1];
            out[2] = reals[2];
        } else if constexpr (F == Form::ComplexScalar) {
            out[0] = reals[0];
            out[1] = window.count == 2 ? DegreesToRadians(reals[1]) : 0.0f;
        } else if (magnitudesOnly) {
            out[0] = reals[0];
            out[1] = reals[1];
            out[2] = reals[2];
            out[3] = out[4] = out[5] = 0.0f;
        } else {
            // Magnitude and phase alternate for x, y and z.
            out[0] = reals[0];
            out[1] = reals[2];
            out[2] = reals[4];
            out[3] = DegreesToRadians(reals[1]);
            out[4] = DegreesToRadians(reals[3]);
            out[5] = DegreesToRadians(reals[5]);
        }
    }
    // The phase of a window read InPlace, turned to radians where it stands.
    void PhasesToRadians(float* reals) const {
        if (form == Form::ComplexScalar) {
            reals[1] = DegreesToRadians(reals[1]);
        }
    }
    // Whether PhasesToRadians changes anything.
    bool HasPhases() const { return form == Form::ComplexScalar && window.count == 2; }

private:
    Form form;
    bool magnitudesOnly;
    int recordReals = 0;
    RecordReader::Window window{0, 0};
};
