#include "core/checksum.h"

#include <cstring>

namespace pbo {

uint32_t EntryChecksum(const uint8_t* data, size_t n, uint32_t initial) {
  // Bytes are summed eight at a time: the even and the odd bytes of each
  // 64-bit word go into four 16-bit lanes of two accumulators. A lane holds
  // 255 * 256 at most, so the lanes are folded every 256 words.
  constexpr uint64_t kLowBytes = 0x00FF00FF00FF00FFull;
  uint32_t sum = initial;
  while (n >= 8) {
    size_t words = n / 8;
    if (words > 256) words = 256;
    uint64_t even = 0;
    uint64_t odd = 0;
    for (size_t w = 0; w < words; ++w) {
      uint64_t v;
      std::memcpy(&v, data + w * 8, 8);
      even += v & kLowBytes;
      odd += (v >> 8) & kLowBytes;
    }
    uint64_t total = 0;
    for (int lane = 0; lane < 4; ++lane) {
      total += (even >> (16 * lane)) & 0xFFFF;
      total += (odd >> (16 * lane)) & 0xFFFF;
    }
    sum += static_cast<uint32_t>(total);
    data += words * 8;
    n -= words * 8;
  }
  for (size_t k = 0; k < n; ++k) sum += data[k];
  return sum;
}

}  // namespace pbo
