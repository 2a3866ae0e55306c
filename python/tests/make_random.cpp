// make_random: writes one random result file with the test writer, for the
// differential test of the readers: any of the eight encodings, one to three
// simulations, each with a random choice of kinds (every kind code, complex
// ones included, and one no reader knows), blocks of zero to six records
// whose ids may repeat, and reals drawn from ordinary and special values
// (signed zeros, subnormals, infinities, NaN, angles). The same SEED always
// writes the same bytes. Usage: make_random FILE SEED
#include "ResWriter.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <limits>
#include <random>
#include <string>

namespace {

using namespace reswriter;

const Encoding kEncodings[] = {kInt4Real4LE, kInt4Real4BE, kInt8SecondCray8LE, kInt8SecondCray8BE,
                               kInt4Real8LE, kInt4Real8BE, kInt8FirstCray8LE,  kInt8FirstCray8BE};

struct Kind {
    int32_t code;
    int reals;
    const char* name;
};
const Kind kKinds[] = {{0, 3, "displacement"}, {1, 1, "temperature"},  {2, 2, "hidden"},
                       {3, 1, "stress"},       {4, 6, "velocity (c)"}, {5, 2, "pressure"},
                       {6, 2, "energy"},       {7, 3, "heat"},         {8, 3, "flux"},
                       {42, 1, "unknown"}};

float Real(std::mt19937& random, const Encoding& encoding) {
    const float special[] = {0.0f,
                             -0.0f,
                             1.0f,
                             -2.5f,
                             90.0f,
                             -180.0f,
                             359.5f,
                             1e-40f,
                             3.4e38f,
                             std::numeric_limits<float>::infinity(),
                             -std::numeric_limits<float>::infinity(),
                             std::numeric_limits<float>::quiet_NaN()};
    float value;
    if (random() % 2 == 0) {
        value = special[random() % (sizeof special / sizeof special[0])];
    } else {
        value = std::uniform_real_distribution<float>(-1000.0f, 1000.0f)(random);
    }
    if (encoding.realFormat == RealFormat::Cray8) {
        unsigned char word[8];
        value = Representable(value, encoding);
        if (!CrayBytes(value, encoding.bigEndian, word)) {
            value = Representable(1.0f, encoding); // NaN and subnormals have no Cray word
        }
    }
    return value;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_random FILE SEED\n");
        return 2;
    }
    try {
        std::mt19937 random(static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10)));
        ResFile file;
        file.encoding = kEncodings[random() % 8];
        const int simulations = 1 + static_cast<int>(random() % 3);
        for (int sim = 0; sim < simulations; ++sim) {
            Simulation simulation{"Freq = " + std::to_string(10 * (sim + 1)), {}};
            for (const Kind& kind : kKinds) {
                if (random() % 3 == 0) {
                    continue;
                }
                DataTypeRow row{kind.name, kind.code, {}};
                const int records = static_cast<int>(random() % 7);
                for (int i = 0; i < records; ++i) {
                    // Ids from a small range, so that some repeat.
                    Record record{static_cast<int32_t>(random() % 6) - 1, {}};
                    for (int k = 0; k < kind.reals; ++k) {
                        record.reals.push_back(Real(random, file.encoding));
                    }
                    row.records.push_back(record);
                }
                simulation.rows.push_back(row);
            }
            file.simulations.push_back(simulation);
        }
        WriteFile(argv[1], Write(file));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_random: %s\n", error.what());
        return 1;
    }
    return 0;
}
