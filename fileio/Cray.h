// Conversion of one Cray 64-bit floating-point word to an IEEE-754 single.
// Pure arithmetic on 8 bytes; reading the bytes is the caller's business.
#pragma once

// Converts the 8-byte Cray word `item` to a float. `swapBytes` true: the word's
// groups of bytes are read most significant byte first, false: least significant
// first. The sign always comes from bit 7 of byte 0. Exponents below the single
// range give a signed zero, above it a signed infinity; the mantissa is
// truncated to 23 bits after its explicit leading bit.
float CrayToFloat(const unsigned char item[8], bool swapBytes);
