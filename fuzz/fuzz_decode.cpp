// Arbitrary bytes as one compressed entry: the first 4 bytes give the
// original size (any value up to 2^31 - 1), the rest is the entry data.
// The decoder must end with a status, stay within its bounds, grow its
// output only with what the input produced, and read the same through a
// streaming reader (into an output vector that still holds the previous
// input's bytes) as from memory into a fresh vector.
#include <cstdint>
#include <vector>

#include "core/byte_reader.h"
#include "core/checksum.h"
#include "core/le.h"
#include "core/lzss_decode.h"
#include "fuzz_check.h"

namespace {

class CountingProgress : public pbo::DecodeProgress {
 public:
  void OnProgressPoint(int64_t bytes_done) override {
    FUZZ_CHECK(bytes_done % 1000 == 0);
    FUZZ_CHECK(bytes_done > last);
    last = bytes_done;
  }
  int64_t last = -1;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const int32_t original = static_cast<int32_t>(pbo::LoadLE32(data) & 0x7FFFFFFF);
  if (original == 0) return 0;  // callers never decode empty entries
  const uint8_t* body = data + 4;
  const size_t body_size = size - 4;

  std::vector<uint8_t> out;
  pbo::ByteReader in(body, body_size);
  CountingProgress progress;
  const pbo::DecodeResult r = pbo::DecodeEntry(in, original, &out, &progress, 0);

  FUZZ_CHECK(in.position() <= body_size);
  FUZZ_CHECK(out.size() <= static_cast<size_t>(original));
  // 17 input bytes make at most 144 output bytes.
  FUZZ_CHECK(out.size() <= (body_size / 17 + 1) * 144);
  FUZZ_CHECK(out.capacity() <= 4 * out.size() + (size_t{1} << 20));
  FUZZ_CHECK(r.computed_checksum == pbo::EntryChecksum(out.data(), out.size()));
  if (r.status == pbo::DecodeStatus::kOk) FUZZ_CHECK(out.size() == static_cast<size_t>(original));

  static std::vector<uint8_t> streamed_out;  // reused from input to input
  pbo_fuzz::PieceSource source(body, body_size, 13);  // odd pieces, to cross refills often
  pbo::ByteReader streamed(source, 64);
  const pbo::DecodeResult s = pbo::DecodeEntry(streamed, original, &streamed_out);
  FUZZ_CHECK(s.status == r.status);
  FUZZ_CHECK(s.stored_checksum == r.stored_checksum);
  FUZZ_CHECK(s.computed_checksum == r.computed_checksum);
  FUZZ_CHECK(streamed_out == out);
  FUZZ_CHECK(streamed.position() == in.position());
  return 0;
}
