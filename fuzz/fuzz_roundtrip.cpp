// Encode then decode: the content comes back byte for byte, the whole entry
// data is consumed, and the checksum matches. The first byte chooses
// whether the rest is used as is or repeated up to ~12 KB, so that long
// inputs (past the 4095-byte window) are reached from small ones.
#include <cstdint>
#include <vector>

#include "core/byte_reader.h"
#include "core/lzss_decode.h"
#include "core/lzss_encode.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  std::vector<uint8_t> content(data + 1, data + size);
  if (data[0] & 1) {
    while (content.size() < 12000) content.insert(content.end(), data + 1, data + size);
    if (data[0] & 2) content[content.size() / 2] ^= data[0];  // a flaw in the repeats
  }
  const size_t n = content.size();
  const std::vector<uint8_t> packed = pbo::CompressBlock(content.data(), n);
  FUZZ_CHECK(packed.size() <= n + (n + 7) / 8 + 4);

  std::vector<uint8_t> out;
  pbo::ByteReader in(packed.data(), packed.size());
  const pbo::DecodeResult r = pbo::DecodeEntry(in, static_cast<int32_t>(n), &out);
  FUZZ_CHECK(r.status == pbo::DecodeStatus::kOk);
  FUZZ_CHECK(r.checksum_matches());
  FUZZ_CHECK(out == content);
  FUZZ_CHECK(in.position() == packed.size());
  return 0;
}
