// The label-number target: any bytes, up to the first NUL, as a simulation
// label; the reader's ParseLabelValue and the plain reference must give the
// same float, bit for bit (so -0 and +0 differ); two NaNs agree whatever
// their bits.
#include "FuzzEntries.h"
#include "LabelNumberReference.h"

#include "model/LabelValue.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace kvresfuzz {

int LabelNumberOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string label(reinterpret_cast<const char*>(data), size);
    const float parsed = ParseLabelValue(label.c_str());
    const float reference = ReferenceLabelValue(label.c_str());
    std::uint32_t parsedBits = 0;
    std::uint32_t referenceBits = 0;
    std::memcpy(&parsedBits, &parsed, sizeof parsed);
    std::memcpy(&referenceBits, &reference, sizeof reference);
    if (parsedBits != referenceBits && !(std::isnan(parsed) && std::isnan(reference))) {
        std::fprintf(stderr,
                     "label \"%s\": ParseLabelValue %.9g (0x%08X), reference %.9g (0x%08X)\n",
                     label.c_str(), static_cast<double>(parsed), parsedBits,
                     static_cast<double>(reference), referenceBits);
        FuzzFailure("label number: the reader and the reference disagree");
    }
    return 0;
}

} // namespace kvresfuzz
