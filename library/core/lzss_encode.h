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

// Encodes n bytes at data into the data of a compressed entry: all groups,
// then the 4-byte entry checksum. `progress` may be null. The output is
// byte for byte the one that greedy encoding with FindMatch gives.
// @return the entry data; its length is the entry's data size. For n == 0
//         it is empty (an empty file has no entry data).
std::vector<uint8_t> CompressBlock(const uint8_t* data, size_t n,
                                   EncodeProgress* progress = nullptr);

// The match search rule, implemented literally (no index; CompressBlock uses
// a fast search that selects the same matches): at position i with
// lookahead length m (3 <= m <= 18, m <= n - i) it scans positions i-1 down
// to max(i-4095, -18), byte(x) being a space for x < 0, and takes each
// candidate of at least 3 and at least the best length so far, stopping at
// the first of length m. So the nearest full-length match wins, otherwise
// the farthest of the longest.
// @return p * 100 + k for the selected match (p may be negative, so the
//         number may be negative without meaning "none"), or -1 for none.
int32_t FindMatch(const uint8_t* data, size_t n, size_t i, size_t m);

// Splits FindMatch's number: the division rounds towards minus infinity.
inline void SplitMatch(int32_t code, int32_t* p, int32_t* k) {
  int32_t q = code / 100;
  if (code % 100 < 0) q -= 1;  // floor for negative positions
  *p = q;
  *k = code - q * 100;
}

}  // namespace pbo
