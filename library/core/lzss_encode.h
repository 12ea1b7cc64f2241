// LZSS encoder of compressed entries: greedy, window of 4095 bytes reaching
// back into 18 virtual spaces before the input, match lengths 3 to 18.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace pbo {

// Called after every completed group with the input bytes encoded so far.
class EncodeProgress {
 public:
  virtual ~EncodeProgress() = default;
  virtual void OnGroupEnd(size_t encoded) = 0;
};

// Encodes n >= 1 bytes at data into the data of a compressed entry: all
// groups, then the 4-byte entry checksum. `progress` may be null.
// The output is byte for byte the one the reference search rule gives.
// @return the entry data; its length is the entry's data size.
std::vector<uint8_t> CompressBlock(const uint8_t* data, size_t n,
                                   EncodeProgress* progress = nullptr);

// Reference match search at position i with lookahead length m
// (3 <= m <= 18, m <= n - i): scans positions i-1 down to max(i-4095, -18),
// byte(x) being a space for x < 0.
// @return p * 100 + k for the selected match (p may be negative), or -1.
int32_t FindMatch(const uint8_t* data, size_t n, size_t i, size_t m);

// Splits FindMatch's number: the division rounds towards minus infinity.
inline void SplitMatch(int32_t code, int32_t* p, int32_t* k) {
  int32_t q = code / 100;
  if (code % 100 < 0) q -= 1;  // floor for negative positions
  *p = q;
  *k = code - q * 100;
}

}  // namespace pbo
