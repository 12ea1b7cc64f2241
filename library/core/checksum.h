// The entry checksum of compressed entries: the sum of all content bytes,
// each 0..255, modulo 2^32.
#pragma once
#include <cstddef>
#include <cstdint>

namespace pbo {

// @return the checksum of n bytes at data, continued from `initial` so that
//         a content can be summed in pieces (0 for a fresh sum).
uint32_t EntryChecksum(const uint8_t* data, size_t n, uint32_t initial = 0);

}  // namespace pbo
