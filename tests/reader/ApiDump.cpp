// kvres_api_dump: every data set of a result as the C++ read API gives it, in
// plain lines a test compares with the Python module and kvres-tool (the
// differential test in python/tests): for each read mode, data type and
// simulation, the ids, the values' bits and whether the read was complete,
// and each data type's entity ids. Names are written as hex bytes. The
// file is opened forced.
#include <kvres/reader.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

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
        }
        const struct {
            const char* name;
            kvres::ReadMode mode;
        } modes[] = {{"auto", kvres::ReadMode::Auto},
                     {"real", kvres::ReadMode::Real},
                     {"complex", kvres::ReadMode::Complex}};
        for (const auto& mode : modes) {
            for (const kvres::DataType& type : types) {
                for (std::size_t sim = 0; sim < simulations; ++sim) {
                    try {
                        const kvres::DataSet set =
                            result.read(type.name, static_cast<int>(sim), mode.mode);
                        std::printf("D %s %zu %s %d %zu", mode.name, sim, Hex(type.name).c_str(),
                                    set.complete ? 1 : 0, set.ids.size());
                        for (int32_t id : set.ids) {
                            std::printf(" %d", id);
                        }
                        for (float value : set.values) {
                            std::uint32_t bits;
                            std::memcpy(&bits, &value, 4);
                            std::printf(" %08x", bits);
                        }
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
