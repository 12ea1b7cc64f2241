// The encoder's fast search against the literal search rule, on small
// inputs (the literal rule scans the whole window at every position). The
// first byte may ask for the rest to be repeated to ~5 KB so that the
// window slides past the virtual spaces.
#include <cstdint>
#include <vector>

#include "core/lzss_encode.h"
#include "fuzz_check.h"
#include "reference_lzss.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > 3000) return 0;
  std::vector<uint8_t> content(data + 1, data + size);
  if (data[0] & 1) {
    while (content.size() < 5000) content.insert(content.end(), data + 1, data + size);
    if (data[0] & 2) content[content.size() - 100] ^= 0x5A;
  }
  const std::vector<uint8_t> fast = pbo::CompressBlock(content.data(), content.size());
  const std::vector<uint8_t> literal = pbo_test::ReferenceCompress(content.data(), content.size());
  FUZZ_CHECK(fast == literal);
  return 0;
}
