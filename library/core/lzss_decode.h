// Decoder of one compressed entry: groups of a flag byte and up to eight
// items (literals and back references), then the 4-byte entry checksum.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "byte_reader.h"

namespace pbo {

enum class DecodeStatus {
  kOk,                 // decoded; the checksums may still differ
  kTruncatedData,      // input ended before the original size was reached
  kTruncatedChecksum,  // input ended inside the 4 checksum bytes
  kZeroDistance,       // a back reference with distance 0
  kPastOriginalSize,   // a back reference that runs past the original size
};

// Short English description of a status, for error messages.
const char* DescribeDecodeStatus(DecodeStatus s);

// Receives the decoder's progress points. The decoder calls it at a group
// end when (done_before + produced) is a multiple of 1000, where produced is
// the entry's byte count so far; this is the library's progress rule, and
// testing it inside the decoder keeps the per-group cost to one comparison.
class DecodeProgress {
 public:
  virtual ~DecodeProgress() = default;
  virtual void OnProgressPoint(int64_t bytes_done) = 0;
};

struct DecodeResult {
  DecodeStatus status = DecodeStatus::kOk;
  uint32_t stored_checksum = 0;    // valid when status is kOk
  uint32_t computed_checksum = 0;  // sum of the bytes in the output
  bool checksum_matches() const {
    return status == DecodeStatus::kOk && stored_checksum == computed_checksum;
  }
};

// Decodes one compressed entry of `original_size` bytes from `in`,
// replacing the contents of `out`. Consumes exactly the entry's groups and
// its checksum; on a failure the reader stops where the fault was found and
// `out` holds what was decoded up to it. Back references to positions before
// the output's start yield spaces (legal data). An original size of 0 or less
// reads nothing and gives an empty output with kOk (an empty file has no
// entry data). The output's memory grows only with the decoded bytes (at
// most 144 per 17 input bytes), so a forged original size costs nothing.
// Never reads or writes out of bounds and always ends: every fault gives a
// status other than kOk. `progress` may be null.
// @return the status and both checksums; a mismatch of the checksums with
//         kOk is for the caller to report.
DecodeResult DecodeEntry(ByteReader& in, int32_t original_size,
                         std::vector<uint8_t>* out,
                         DecodeProgress* progress = nullptr,
                         int64_t done_before = 0);

}  // namespace pbo
