// kvres_api_dump: every data set of a result as the C++ read API gives it, in
// plain lines a test compares with the Python module and kvres-tool (the
// differential test in python/tests): for each read mode, data type and
// simulation, the ids, the values' bits and whether the read was complete;
// each data type's entity ids and kind; per read mode and data type the
// history of its first entity id (0 when it has none); and the summary's
// ids per binding. Names are written as hex bytes. The file is opened
// forced.
#include <kvres/reader.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

void PrintBits(const std::vector<float>& values) {
    for (float value : values) {
        std::uint32_t bits;
        std::memcpy(&bits, &value, 4);
        std::printf(" %08x", bits);
    }
}

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char c : bytes) {
        text += digits[c >> 4];
        text += digits[c & 15];
    }
    return text.empty() ? "-" : text;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kvres_api_dump FILE\n");
        return 2;
    }
    try {
        kvres::Result result = kvres::open(argv[1], true);
        const std::vector<kvres::DataType> types = result.dataTypes();
        const std::size_t simulations = result.simulations().size();
        for (const kvres::DataType& type : types) {
            std::printf("I %s", Hex(type.name).c_str());
            for (int32_t id : result.entityIds(type.name)) {
                std::printf(" %d", id);
            }
            std::printf("\n");
            std::printf("K %s %d\n", Hex(type.name).c_str(), type.kind);
        }
        const kvres::Summary summary = result.summary();
        for (const auto& binding : {std::make_pair("nodes", &summary.nodeIds),
                                    std::make_pair("elements", &summary.elementIds)}) {
            std::printf("S %s", binding.first);
            for (int32_t id : *binding.second) {
                std::printf(" %d", id);
            }
            std::printf("\n");
        }
        const struct {
            const char* name;
            kvres::ReadMode mode;
        } modes[] = {{"auto", kvres::ReadMode::Auto},
                     {"real", kvres::ReadMode::Real},
                     {"complex", kvres::ReadMode::Complex}};
        for (const auto& mode : modes) {
            for (const kvres::DataType& type : types) {
                const std::vector<int32_t> ids = result.entityIds(type.name);
                const int32_t entity = ids.empty() ? 0 : ids.front();
                const kvres::History history = result.history(type.name, entity, mode.mode);
                std::printf("H %s %s %d %d", mode.name, Hex(type.name).c_str(), entity,
                            history.width);
                PrintBits(history.values);
                std::printf("\n");
                for (std::size_t sim = 0; sim < simulations; ++sim) {
                    try {
                        const kvres::DataSet set =
                            result.read(type.name, static_cast<int>(sim), mode.mode);
                        std::printf("D %s %zu %s %d %zu", mode.name, sim, Hex(type.name).c_str(),
                                    set.complete ? 1 : 0, set.ids.size());
                        for (int32_t id : set.ids) {
                            std::printf(" %d", id);
                        }
                        PrintBits(set.values);
                        std::printf("\n");
                    } catch (const kvres::NoValuesError&) {
                        std::printf("N %s %zu %s\n", mode.name, sim, Hex(type.name).c_str());
                    }
                }
            }
        }
    } catch (const kvres::ReadError& error) {
        std::printf("E %s\n", error.what());
        return 1;
    }
    return 0;
}
