// The entry decoder: round trips, malformed data, memory bounds, progress.
#include <gtest/gtest.h>

#include <vector>

#include "core/byte_reader.h"
#include "core/checksum.h"
#include "core/lzss_decode.h"
#include "core/lzss_encode.h"
#include "sample_data.h"

namespace pbo {
namespace {

using Bytes = std::vector<uint8_t>;
using pbo_test::MakeSample;
using pbo_test::Sample;

constexpr Sample kAllSamples[] = {Sample::kRandom, Sample::kText, Sample::kRuns,
                                  Sample::kBinary, Sample::kTwoSymbols};

DecodeResult Decode(const Bytes& data, int32_t size, Bytes* out, uint64_t* consumed = nullptr) {
  ByteReader in(data.data(), data.size());
  const DecodeResult r = DecodeEntry(in, size, out);
  if (consumed != nullptr) *consumed = in.position();
  return r;
}

// Large inputs take the decoder's whole-group path; the tail and the start
// take the checked path. A trailing byte shows that nothing past the
// checksum is consumed.
TEST(DecodeEntry, RoundTripsEncodedData) {
  for (Sample kind : kAllSamples) {
    for (size_t n : {size_t{1}, size_t{17}, size_t{4200}, size_t{300000}}) {
      const Bytes input = MakeSample(kind, n, 5);
      Bytes packed = CompressBlock(input.data(), input.size());
      const size_t entry_size = packed.size();
      packed.push_back(0xAB);
      Bytes out;
      uint64_t consumed = 0;
      const DecodeResult r = Decode(packed, static_cast<int32_t>(n), &out, &consumed);
      ASSERT_EQ(r.status, DecodeStatus::kOk) << pbo_test::SampleName(kind) << " " << n;
      EXPECT_TRUE(r.checksum_matches());
      EXPECT_EQ(r.computed_checksum, EntryChecksum(input.data(), n));
      EXPECT_EQ(out, input) << pbo_test::SampleName(kind) << " " << n;
      EXPECT_EQ(consumed, entry_size);
    }
  }
}

}  // namespace
}  // namespace pbo
