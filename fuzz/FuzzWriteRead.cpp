// The write-read target: the input drives a result through the writer, or a
// readable file (made by the tests' writer, damaged or not) through the
// copier behind `convert`, and the files come back through a plain reading
// of every table and record as stored (WriterTestSupport). Whatever the
// writer accepts reads back as given: labels, kinds and ids exactly, the
// names a reader shows by the reader's own naming rules, the reals bit for
// bit (little-endian Cray words within their bound; NaN as infinity where
// asked); what it refuses it refuses with an InputError and no file left.
// A copy that succeeds holds exactly what the input holds; one that does not
// says why (ResultCopier::Damaged). Any other failure is a fault.
#include "FuzzEntries.h"

#include "ResWriter.h"
#include "TempDir.h"
#include "tests/writer/WriterTestSupport.h"

#include "ResultCopier.h"
#include "kvres/Writer.h"
#include "model/DataTypeNames.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace kvresfuzz {
namespace {

namespace fs = std::filesystem;

// Bytes of the input taken in turn; zeros once it runs out.
class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : data(data), size(size) {}
    std::uint8_t Next() { return at < size ? data[at++] : 0; }
    std::uint32_t Word() {
        std::uint32_t word = 0;
        for (int i = 0; i < 4; ++i) {
            word = (word << 8) | Next();
        }
        return word;
    }
    std::string Text(std::size_t length) {
        std::string text;
        for (std::size_t i = 0; i < length; ++i) {
            // Mostly printable; now and then a NUL or a byte above 127.
            const std::uint8_t byte = Next();
            text += static_cast<char>(byte < 250 ? 32 + byte % 95 : byte == 250 ? 0 : byte);
        }
        return text;
    }

private:
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;
};

const char* const kNames[] = {"displacements",
                              "nodal displacement",
                              "Displacement",
                              "displacement_NC",
                              "accel",
                              "accel (c)",
                              "x",
                              "x:Phase",
                              "foo",
                              "foo_NC",
                              "velocity",
                              "t"};

std::string Name(Bytes& bytes) {
    const std::uint8_t pick = bytes.Next();
    if (pick < 200) {
        return kNames[pick % (sizeof kNames / sizeof kNames[0])];
    }
    return bytes.Text(1 + bytes.Next() % 31);
}

float Real(Bytes& bytes) {
    const std::uint32_t bits = bytes.Word();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

struct Block {
    std::string name;
    int kind = 0;
    std::vector<std::int32_t> ids;
    std::vector<float> reals;
};

struct Simulation {
    std::string label;
    std::vector<Block> blocks;
};

void Fail(const std::string& what) {
    std::fprintf(stderr, "%s\n", what.c_str());
    FuzzFailure("write_read: what was written does not read back");
}

bool SameReal(float got, float given, kvres::Encoding encoding, bool nanAsInfinity) {
    std::uint32_t a;
    std::uint32_t b;
    const bool cray = encoding == kvres::Encoding::I8LE || encoding == kvres::Encoding::I8BE;
    if (std::isnan(given) && cray) {
        return nanAsInfinity && std::isinf(got) && std::signbit(got) == std::signbit(given);
    }
    if (encoding != kvres::Encoding::I8LE || given == 0 || std::isinf(given)) {
        std::memcpy(&a, &got, 4);
        std::memcpy(&b, &given, 4);
        return a == b;
    }
    const double bound =
        std::fabs(static_cast<double>(given)) * std::ldexp(1.0, -17) + 64 * std::ldexp(1.0, -149);
    return std::signbit(got) == std::signbit(given) &&
           std::fabs(static_cast<double>(got) - given) <= bound;
}

void WriterMode(Bytes& bytes) {
    kvres::WriterOptions options;
    options.encoding = static_cast<kvres::Encoding>(bytes.Next() % 4);
    const std::uint8_t flags = bytes.Next();
    options.storedNames = (flags & 1) != 0;
    options.nanAsInfinity = (flags & 2) != 0;
    std::vector<Simulation> simulations(bytes.Next() % 4);
    for (Simulation& simulation : simulations) {
        simulation.label = bytes.Text(bytes.Next() % 33);
        simulation.blocks.resize(bytes.Next() % 4);
        for (Block& block : simulation.blocks) {
            block.name = Name(bytes);
            block.kind = bytes.Next() % 10;
            const int reals = std::max(kvres::Writer::RealsPerRecord(block.kind), 0);
            const int count = bytes.Next() % 5;
            for (int r = 0; r < count; ++r) {
                block.ids.push_back(static_cast<std::int32_t>(bytes.Word()));
                for (int v = 0; v < reals; ++v) {
                    block.reals.push_back(Real(bytes));
                }
            }
        }
    }
    reswriter::TempDir dir(reswriter::TempDir::Place::MemoryWherePossible);
    const std::string path = dir.File("w.res");
    try {
        kvres::Writer writer(path, options);
        for (const Simulation& simulation : simulations) {
            writer.BeginSimulation(simulation.label);
            for (const Block& block : simulation.blocks) {
                writer.WriteBlock(block.name, block.kind, block.ids.data(), block.ids.size(),
                                  block.reals.data(), block.reals.size());
            }
        }
        writer.Close();
    } catch (const kvres::InputError&) {
        if (!fs::is_empty(dir.Path())) {
            Fail("a refused write left a file behind");
        }
        return;
    } catch (const kvres::WriteError& error) {
        Fail(std::string("the writer failed: ") + error.what());
    }
    const writertest::StoredResult stored = writertest::ReadStored(path);
    if (!stored.opened || stored.simulations.size() != simulations.size()) {
        Fail("the simulations do not read back");
    }
    bool complexData = false;
    std::map<std::string, int> firstKind;
    for (const auto& simulation : stored.simulations) {
        for (const auto& block : simulation.blocks) {
            complexData = complexData || ResKind::Of(block.kind).marksComplex;
            firstKind.emplace(datatypenames::NormaliseName(block.name), block.kind);
        }
    }
    std::set<std::string> hostNames;
    for (const auto& [registered, kind] : firstKind) {
        // The directory's key, and a triple's three host names.
        const std::string shown = datatypenames::FinalName(registered, kind, complexData);
        std::vector<std::string> names = {shown};
        if (ResKind::Of(kind).format == ResKind::Triple) {
            for (const char* suffix : ResKind::kTripleSuffixes) {
                names.push_back(shown + suffix);
            }
        }
        for (const std::string& name : names) {
            if (!hostNames.insert(name).second) {
                Fail("two data types show as '" + name + "'");
            }
        }
    }
    for (std::size_t s = 0; s < simulations.size(); ++s) {
        const Simulation& given = simulations[s];
        const auto& got = stored.simulations[s];
        if (got.label != given.label || got.blocks.size() != given.blocks.size()) {
            Fail("simulation " + std::to_string(s) + " reads back as '" + got.label + "'");
        }
        for (std::size_t b = 0; b < given.blocks.size(); ++b) {
            const Block& block = given.blocks[b];
            const auto& back = got.blocks[b];
            const std::string registered = datatypenames::NormaliseName(back.name);
            const std::string shown =
                datatypenames::FinalName(registered, firstKind.at(registered), complexData);
            if (options.storedNames ? back.name != block.name : shown != block.name) {
                Fail("data type '" + block.name + "' is stored as '" + back.name +
                     "' and shows as '" + shown + "'");
            }
            if (firstKind.at(registered) != block.kind || back.kind != block.kind ||
                back.ids != block.ids || back.reals.size() != block.reals.size()) {
                Fail("data type '" + block.name + "' reads back with another kind or ids");
            }
            for (std::size_t i = 0; i < block.reals.size(); ++i) {
                if (!SameReal(back.reals[i], block.reals[i], options.encoding,
                              options.nanAsInfinity)) {
                    Fail("data type '" + block.name + "': real " + std::to_string(i) +
                         " reads back otherwise");
                }
            }
        }
    }
}

void ConvertMode(Bytes& bytes) {
    static const reswriter::Encoding kEncodings[] = {
        reswriter::kInt4Real4LE, reswriter::kInt4Real4BE, reswriter::kInt8SecondCray8LE,
        reswriter::kInt8SecondCray8BE};
    reswriter::ResFile file;
    file.encoding = kEncodings[bytes.Next() % 4];
    file.text1 = bytes.Text(bytes.Next() % 82);
    const int count = bytes.Next() % 4;
    for (int s = 0; s < count; ++s) {
        reswriter::Simulation simulation;
        simulation.label = bytes.Text(bytes.Next() % 32);
        const int rows = bytes.Next() % 4;
        for (int r = 0; r < rows; ++r) {
            reswriter::DataTypeRow row;
            row.name = Name(bytes);
            row.kind = bytes.Next() % 10;
            const int reals = std::max(kvres::Writer::RealsPerRecord(row.kind), 0);
            const int records = bytes.Next() % 4;
            for (int i = 0; i < records; ++i) {
                reswriter::Record record;
                record.id = static_cast<std::int32_t>(bytes.Word());
                for (int v = 0; v < reals; ++v) {
                    // Values a Cray word holds exactly: small integers.
                    record.reals.push_back(
                        static_cast<float>(static_cast<int>(bytes.Next()) - 128));
                }
                row.records.push_back(record);
            }
            const std::uint8_t damage = bytes.Next();
            if (damage == 255) {
                row.entityCount = records + 1 + bytes.Next() % 3; // cut short
            } else if (damage == 254) {
                row.entityCount = -1;
            } else if (damage == 253) {
                row.blockPosition = 0x7fffff00;
            }
            simulation.rows.push_back(row);
        }
        file.simulations.push_back(simulation);
    }
    reswriter::TempDir dir(reswriter::TempDir::Place::MemoryWherePossible);
    const std::string in = dir.File("in.res");
    try {
        reswriter::WriteFile(in, reswriter::Write(file));
    } catch (const std::exception&) {
        return; // a value the tests' writer cannot store in this encoding
    }
    const std::string out = dir.File("out.res");
    try {
        kvres::ResultCopier copier(in);
        kvres::WriterOptions options;
        options.title = copier.Title();
        kvres::Writer writer(out, options);
        kvres::ResultCopier::Options copy;
        std::vector<std::string> dropped;
        for (int s = 0; s < copier.SimulationCount(); ++s) {
            copier.CopySimulation(writer, s, copy, dropped);
        }
        writer.Close();
        if (!dropped.empty()) {
            Fail("a copy without salvage left out: " + dropped.front());
        }
    } catch (const kvres::ResultCopier::Damaged&) {
        return; // refused, naming what a salvage would leave out
    } catch (const kvres::WriteError& error) {
        Fail(std::string("the copy failed: ") + error.what());
    }
    const writertest::StoredResult a = writertest::ReadStored(in);
    const writertest::StoredResult b = writertest::ReadStored(out);
    if (a.simulations.size() != b.simulations.size() || a.titles != b.titles) {
        Fail("the copy holds other simulations or titles");
    }
    for (std::size_t s = 0; s < a.simulations.size(); ++s) {
        const auto& x = a.simulations[s];
        const auto& y = b.simulations[s];
        bool same = x.label == y.label && x.blocks.size() == y.blocks.size();
        for (std::size_t i = 0; same && i < x.blocks.size(); ++i) {
            same = x.blocks[i].name == y.blocks[i].name && x.blocks[i].kind == y.blocks[i].kind &&
                   x.blocks[i].ids == y.blocks[i].ids &&
                   x.blocks[i].reals.size() == y.blocks[i].reals.size() &&
                   (x.blocks[i].reals.empty() ||
                    std::memcmp(x.blocks[i].reals.data(), y.blocks[i].reals.data(),
                                4 * x.blocks[i].reals.size()) == 0);
        }
        if (!same) {
            Fail("simulation " + std::to_string(s) + " of the copy differs from the input's");
        }
    }
}

} // namespace

int WriteReadOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes bytes(data, size);
    if (bytes.Next() % 2 == 0) {
        WriterMode(bytes);
    } else {
        ConvertMode(bytes);
    }
    return 0;
}

} // namespace kvresfuzz
