// A literal encoder used as the oracle for CompressBlock: it scans every
// window position from the nearest to the farthest with no index, exactly
// as the search rule reads, and writes groups the plain way.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace pbo_test {

struct ReferenceMatch {
  bool found = false;
  long position = 0;  // may be -18..-1 (virtual spaces)
  size_t length = 0;
};

// The search rule at position i with lookahead m.
inline ReferenceMatch ReferenceFindMatch(const uint8_t* data, size_t i, size_t m) {
  auto byte = [data](long x) -> uint8_t { return x < 0 ? 0x20 : data[x]; };
  const long pos = static_cast<long>(i);
  long start = pos - 4095;
  if (start < -18) start = -18;
  size_t best = 3;
  ReferenceMatch match;
  for (long p = pos - 1; p >= start; --p) {
    if (byte(p) != byte(pos)) continue;
    size_t k = 1;
    while (k < m && byte(p + static_cast<long>(k)) == byte(pos + static_cast<long>(k))) ++k;
    if (k >= best) {
      best = k;
      match = {true, p, k};
      if (k == m) break;
    }
  }
  return match;
}

// The whole entry data for n >= 1 bytes: groups, then the checksum.
inline std::vector<uint8_t> ReferenceCompress(const uint8_t* data, size_t n) {
  std::vector<uint8_t> out;
  size_t i = 0;
  while (i < n) {
    const size_t flag_pos = out.size();
    out.push_back(0xFF);
    uint8_t flags = 0;
    for (int item = 0; item < 8 && i < n; ++item) {
      ReferenceMatch match;
      if (n - i >= 3) match = ReferenceFindMatch(data, i, n - i < 18 ? n - i : 18);
      if (!match.found) {
        flags = static_cast<uint8_t>(flags | (1u << item));
        out.push_back(data[i++]);
        continue;
      }
      const size_t d = static_cast<size_t>(static_cast<long>(i) - match.position);
      out.push_back(static_cast<uint8_t>(d % 256));
      out.push_back(static_cast<uint8_t>((d / 256) * 16 + (match.length - 3)));
      i += match.length;
    }
    out[flag_pos] = flags;
  }
  uint32_t sum = 0;
  for (size_t k = 0; k < n; ++k) sum += data[k];
  for (int b = 0; b < 4; ++b) out.push_back(static_cast<uint8_t>(sum >> (8 * b)));
  return out;
}

}  // namespace pbo_test
