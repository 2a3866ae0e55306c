// fuzz_seeds: writes the seed inputs of the fuzz targets into OUT/series,
// OUT/single_file, OUT/label_number and OUT/json_text. The .res files come
// from the writer (every encoding, every kind code, a series mixing
// encodings) and, when EXAMPLES names the example set's folder, from the
// example files themselves; series seeds are packed as SeriesInput reads them.
#include "ResWriter.h"
#include "SeriesInput.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

const reswriter::Encoding kEncodings[] = {
    reswriter::kInt4Real4LE,       reswriter::kInt4Real4BE,      reswriter::kInt8SecondCray8LE,
    reswriter::kInt8SecondCray8BE, reswriter::kInt4Real8LE,      reswriter::kInt4Real8BE,
    reswriter::kInt8FirstCray8LE,  reswriter::kInt8FirstCray8BE,
};

// The number of reals a record of `kind` carries; kinds without records get one.
std::size_t RealsOf(int kind) {
    switch (kind) {
    case 0:
    case 7:
    case 8:
        return 3;
    case 4:
        return 6;
    case 5:
    case 6:
        return 2;
    default:
        return 1;
    }
}

// Two simulations with one data type of each of `kinds`, one entity each:
// small, so that a mutated input stays cheap to read.
reswriter::ResFile WithKinds(const reswriter::Encoding& encoding, int firstStep,
                             const std::vector<int>& kinds) {
    reswriter::ResFile file;
    file.encoding = encoding;
    for (int step = 0; step < 2; ++step) {
        reswriter::Simulation simulation;
        simulation.label = "Time = " + std::to_string(firstStep + step) + ".5";
        for (int kind : kinds) {
            reswriter::DataTypeRow row;
            row.name = kind == 4   ? "displacements (c)"
                       : kind == 0 ? "displacements"
                                   : "type " + std::to_string(kind);
            row.kind = kind;
            std::vector<float> reals;
            for (std::size_t r = 0; r < RealsOf(kind); ++r) {
                reals.push_back(reswriter::Representable(
                    0.5f * static_cast<float>(step + 1) + static_cast<float>(r), encoding));
            }
            row.records.push_back({10 + kind, reals});
            simulation.rows.push_back(row);
        }
        file.simulations.push_back(simulation);
    }
    return file;
}

// The kind codes split over two files: the complex nodal vector with its
// real counterpart and the real scalars, then the rest.
const std::vector<int> kKindGroups[] = {{0, 4, 1, 3}, {5, 6, 7, 8, 2, 9}};

void Save(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

void SaveText(const fs::path& path, const std::string& text) {
    Save(path, Bytes(text.begin(), text.end()));
}

Bytes Load(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes Pack(std::uint8_t options, const std::vector<Bytes>& files) {
    SeriesInput input;
    input.options = options;
    for (const Bytes& file : files) {
        input.files.emplace_back(file.begin(), file.end());
    }
    const std::vector<std::uint8_t> packed = input.Pack();
    return Bytes(packed.begin(), packed.end());
}

// Files whose data-type tables overlap, as damaged headers make them: a
// simulation count beyond the simulations written (the later ones take their
// label and table position from the tables and blocks), tables moved one or
// more rows into another, and a table at an offset that is not a whole row.
// Plus every single-file seed small enough for the target.
void ScanReferenceSeeds(const fs::path& out, const fs::path& single) {
    const fs::path dir = out / "scan_reference";
    fs::create_directories(dir);
    for (const fs::directory_entry& seed : fs::directory_iterator(single)) {
        if (seed.is_regular_file() && seed.file_size() <= 4096) {
            fs::copy_file(seed.path(), dir / seed.path().filename(),
                          fs::copy_options::overwrite_existing);
        }
    }
    for (std::size_t i = 0; i < 4; ++i) {
        const reswriter::Encoding& encoding = kEncodings[i];
        reswriter::ResFile file = WithKinds(encoding, 0, {1, 4, 0, 1, 7});
        file.simulations[0].rows[3].name = "type 1"; // a name repeated within the table
        reswriter::Layout layout;
        reswriter::Write(file, &layout);
        const std::string tag = "_encoding_" + std::to_string(i);
        // More simulations declared than written.
        file.simulationCount = 5;
        Save(dir / ("count_beyond" + tag), reswriter::Write(file));
        file.simulationCount.reset();
        // The second table one row, then two rows into the first; then at an
        // offset of half a row.
        const std::size_t rowBytes =
            layout.simulations[0].rows[1].name - layout.simulations[0].rows[0].name;
        for (std::size_t shift : {rowBytes, 2 * rowBytes, rowBytes / 2}) {
            file.simulations[1].tablePosition =
                static_cast<std::int32_t>(layout.simulations[0].table + shift);
            Save(dir / ("table_moved_" + std::to_string(shift) + tag), reswriter::Write(file));
        }
    }
}

void FileSeeds(const fs::path& out, const fs::path& examples) {
    const fs::path single = out / "single_file";
    const fs::path series = out / "series";
    fs::create_directories(single);
    fs::create_directories(series);
    std::vector<Bytes> perEncoding;
    for (std::size_t i = 0; i < std::size(kEncodings); ++i) {
        for (std::size_t group = 0; group < std::size(kKindGroups); ++group) {
            const Bytes bytes =
                reswriter::Write(WithKinds(kEncodings[i], static_cast<int>(i), kKindGroups[group]));
            Save(single / ("kinds_" + std::to_string(group) + "_encoding_" + std::to_string(i)),
                 bytes);
            if (group == 0) {
                perEncoding.push_back(bytes);
            }
        }
    }
    // A mixed series: 4-byte little-endian, 8-byte Cray big-endian, 4-byte
    // big-endian, and a non-member sibling; opened by the base name, by a
    // numbered member, and with a member in upper case.
    const std::vector<Bytes> mixed = {perEncoding[0], perEncoding[3], perEncoding[1],
                                      perEncoding[2]};
    Save(series / "mixed_series", Pack(0, mixed));
    Save(series / "mixed_series_numbered", Pack(SeriesInput::kOpenNumberedMember, mixed));
    Save(series / "mixed_series_upper_case", Pack(SeriesInput::kUpperCaseMember, mixed));
    Save(series / "one_file", Pack(0, {perEncoding[5]}));

    ScanReferenceSeeds(out, single);

    if (!examples.empty()) {
        std::vector<Bytes> beam;
        for (const char* name : {"beam.res", "beam1.res", "beam2.res"}) {
            beam.push_back(Load(examples / name));
            Save(single / (std::string("example_") + name), beam.back());
        }
        Save(series / "example_beam", Pack(0, beam));
    }
}

void LabelSeeds(const fs::path& out) {
    const fs::path dir = out / "label_number";
    fs::create_directories(dir);
    const char* const labels[] = {
        "Time = 0.25", "Mode 3: 12.5 Hz", "Step 7",   "Step7",
        "a:b=3",       "Time = abc",      "Frame ",   "",
        "Load -1.5e2", "t=1e39",          "t=-1e-50", "t= \t+.5e+3x",
        "f=0x1p3",     "t=1.e5",          "s -0",     "t=1.000000059604644775390625001"};
    int index = 0;
    for (const char* label : labels) {
        SaveText(dir / ("label_" + std::to_string(index++)), label);
    }
}

void JsonSeeds(const fs::path& out) {
    const fs::path dir = out / "json_text";
    fs::create_directories(dir);
    SaveText(dir / "text_plain", "Loadcase 1");
    SaveText(dir / "text_escapes", "quote \" backslash \\ tab \t newline \n");
    Bytes all;
    for (int byte = 0; byte < 256; ++byte) {
        all.push_back(static_cast<unsigned char>(byte));
    }
    Save(dir / "text_every_byte", all);
    const float floats[] = {1.0f,
                            0.1f,
                            -150.0f,
                            3.1415927f,
                            1e-8f,
                            FLT_MAX,
                            FLT_MIN,
                            std::numeric_limits<float>::denorm_min(),
                            -0.0f,
                            1e21f,
                            16777217.0f,
                            std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(),
                            std::numeric_limits<float>::quiet_NaN()};
    Bytes patterns(sizeof floats);
    std::memcpy(patterns.data(), floats, sizeof floats);
    Save(dir / "float_patterns", patterns);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: fuzz_seeds OUT [EXAMPLES]\n");
        return 2;
    }
    try {
        const fs::path out = argv[1];
        FileSeeds(out, argc == 3 ? fs::path(argv[2]) : fs::path());
        LabelSeeds(out);
        JsonSeeds(out);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "fuzz_seeds: %s\n", error.what());
        return 1;
    }
    return 0;
}
