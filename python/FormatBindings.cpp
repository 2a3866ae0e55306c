#include "FormatBindings.h"

#include "fileio/ResKind.h"
#include "model/DataTypeNames.h"
#include "model/PhaseConversion.h"

#include "kvres/WriterOptions.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <string>
#include <vector>

namespace py = pybind11;

namespace {

py::dict KindRecord(std::int32_t code) {
    const ResKind& kind = ResKind::Of(code);
    py::dict record;
    record["code"] = code;
    record["reals"] = kind.realsPerRecord;
    record["complex"] = kind.magnitudePhase;
    record["marks_complex"] = kind.marksComplex;
    record["binding"] = ResKind::BindingName(kind.binding);
    record["format"] = ResKind::FormatName(kind.format);
    py::tuple parts(0);
    if (kind.format == ResKind::Triple) {
        parts = py::make_tuple(ResKind::kTripleSuffixes[0], ResKind::kTripleSuffixes[1],
                               ResKind::kTripleSuffixes[2]);
    }
    record["triple_parts"] = parts;
    record["phase_part"] = kind.format == ResKind::Triple
                               ? py::object(py::int_(ResKind::kTriplePhasePart))
                               : py::none();
    record["stored_name_end"] = kind.storedNameEnd;
    record["complex_result_suffix"] = kind.complexResultSuffix;
    record["meaning"] = kind.meaning;
    return record;
}

// `given` as a float32 array, the conversion applied to each element.
template <float (*Convert)(float)> py::array_t<float> Converted(const py::object& given) {
    const py::array_t<float, py::array::c_style | py::array::forcecast> in =
        py::array_t<float, py::array::c_style | py::array::forcecast>::ensure(given);
    if (!in) {
        throw py::type_error("phases must be numbers or an array of numbers");
    }
    py::array_t<float> out(std::vector<py::ssize_t>(in.shape(), in.shape() + in.ndim()));
    const float* from = in.data();
    float* to = out.mutable_data();
    const py::ssize_t count = in.size();
    {
        py::gil_scoped_release unlocked;
        for (py::ssize_t i = 0; i < count; ++i) {
            to[i] = Convert(from[i]);
        }
    }
    return out;
}

void CheckKind(std::int32_t kind) {
    if (!ResKind::IsCode(kind)) {
        throw py::value_error("kind " + std::to_string(kind) + ": kinds are 0 to " +
                              std::to_string(ResKind::kCodes - 1));
    }
}

} // namespace

void BindFormat(py::module_& m) {
    py::list kinds;
    for (std::int32_t code = 0; code < ResKind::kCodes; ++code) {
        kinds.append(KindRecord(code));
    }
    m.attr("kinds") = py::tuple(kinds);
    m.attr("complex_result_mark") = ResKind::kComplexResultMark;

    py::list encodings;
    for (kvres::Encoding encoding : {kvres::Encoding::I4LE, kvres::Encoding::I4BE,
                                     kvres::Encoding::I8LE, kvres::Encoding::I8BE}) {
        encodings.append(kvres::EncodingName(encoding));
    }
    m.attr("encodings") = py::tuple(encodings);

    m.def(
        "shown_name",
        [](const std::string& stored, std::int32_t kind, bool complexData) {
            CheckKind(kind);
            return datatypenames::FinalName(datatypenames::NormaliseName(stored), kind,
                                            complexData);
        },
        py::arg("stored"), py::arg("kind"), py::arg("complex_data") = false,
        "The name a reader shows for a data type stored as `stored` with `kind`, in a result "
        "with or without complex data (a triple's parts add ':Magnitude', ':Phase', ':Offset').");
    m.def(
        "stored_name",
        [](const std::string& shown, std::int32_t kind, bool complexData) {
            CheckKind(kind);
            const auto stored = datatypenames::StoredName(shown, kind, complexData);
            if (!stored) {
                throw py::value_error(
                    "no data type of kind " + std::to_string(kind) + " reads back as '" + shown +
                    "' in a result " + (complexData ? "with" : "without") +
                    " complex data: a reader shows its stored name as '" +
                    datatypenames::FinalName(
                        datatypenames::NormaliseName(
                            datatypenames::StoredCandidate(shown, kind, complexData)),
                        kind, complexData) +
                    "'");
            }
            return *stored;
        },
        py::arg("shown"), py::arg("kind"), py::arg("complex_data") = false,
        "The name a file stores for a data type of `kind` that a reader shows as `shown` in a "
        "result with or without complex data (shown_name's inverse); ValueError when no stored "
        "name reads back so.");
    m.def("degrees_to_radians", &Converted<DegreesToRadians>, py::arg("degrees"),
          "Stored phases (degrees) as a reader shows them (radians), float32, as every read "
          "converts them.");
    m.def("radians_to_degrees", &Converted<RadiansToDegrees>, py::arg("radians"),
          "The degrees a writer stores for phases given in radians, float32: "
          "degrees_to_radians gives each value back bit for bit wherever some float does.");
}
