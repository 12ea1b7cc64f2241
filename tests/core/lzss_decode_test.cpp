// The entry decoder: round trips, malformed data, memory bounds, progress.
#include <gtest/gtest.h>

#include <vector>

#include "chunk_source.h"
#include "core/byte_reader.h"
#include "core/checksum.h"
#include "core/le.h"
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

struct Decoded {
  DecodeResult result;
  Bytes out;
  uint64_t consumed = 0;
};

Decoded Decode(const Bytes& data, int32_t size) {
  Decoded d;
  ByteReader in(data.data(), data.size());
  d.result = DecodeEntry(in, size, &d.out);
  d.consumed = in.position();
  return d;
}

Decoded DecodeStreaming(const Bytes& data, int32_t size, size_t chunk) {
  Decoded d;
  pbo_test::ChunkSource source(data, chunk);
  ByteReader in(source, 64);
  d.result = DecodeEntry(in, size, &d.out);
  d.consumed = in.position();
  return d;
}

// `groups` groups of eight literals (flag FF) counting 0, 1, 2, ...
Bytes LiteralGroups(size_t groups) {
  Bytes b;
  for (size_t g = 0; g < groups; ++g) {
    b.push_back(0xFF);
    for (int k = 0; k < 8; ++k) b.push_back(static_cast<uint8_t>(g * 8 + k));
  }
  return b;
}

void AppendChecksum(Bytes* b, uint32_t sum) {
  uint8_t le[4];
  StoreLE32(le, sum);
  b->insert(b->end(), le, le + 4);
}

// Large inputs take the decoder's whole-group path; the tail and the start
// take the checked path. A trailing byte shows that nothing past the
// checksum is consumed. The streaming reader (64-byte buffer, 7-byte pulls)
// must give the same result.
TEST(DecodeEntry, RoundTripsEncodedData) {
  for (Sample kind : kAllSamples) {
    for (size_t n : {size_t{1}, size_t{17}, size_t{4200}, size_t{300000}}) {
      const Bytes input = MakeSample(kind, n, 5);
      Bytes packed = CompressBlock(input.data(), input.size());
      const size_t entry_size = packed.size();
      packed.push_back(0xAB);
      for (int streaming = 0; streaming < 2; ++streaming) {
        const Decoded d = streaming ? DecodeStreaming(packed, static_cast<int32_t>(n), 7)
                                    : Decode(packed, static_cast<int32_t>(n));
        SCOPED_TRACE(::testing::Message() << pbo_test::SampleName(kind) << " " << n
                                          << (streaming ? " streaming" : " memory"));
        ASSERT_EQ(d.result.status, DecodeStatus::kOk);
        EXPECT_TRUE(d.result.checksum_matches());
        EXPECT_EQ(d.result.computed_checksum, EntryChecksum(input.data(), n));
        EXPECT_EQ(d.out, input);
        EXPECT_EQ(d.consumed, entry_size);
      }
    }
  }
}

// The output vector may come in holding an earlier, longer entry: none of
// its bytes may show through, whatever the new entry decodes to.
TEST(DecodeEntry, IgnoresWhatTheOutputVectorHeldBefore) {
  const Bytes text = MakeSample(Sample::kText, 20000, 9);
  const Bytes packed_text = CompressBlock(text.data(), text.size());
  const Bytes spaces18 = {0x00, 0x01, 0x0F, 0x40, 0x02, 0, 0};
  const Bytes cut = Bytes(packed_text.begin(), packed_text.begin() + 5000);
  struct Case {
    const Bytes* data;
    int32_t size;
  };
  const Case cases[] = {{&packed_text, 20000}, {&spaces18, 18}, {&cut, 20000}, {&spaces18, 0}};
  for (const Case& c : cases) {
    const Decoded fresh = Decode(*c.data, c.size);
    Bytes out(100000, 0xEE);  // stale content, longer than any entry here
    ByteReader in(c.data->data(), c.data->size());
    const DecodeResult r = DecodeEntry(in, c.size, &out);
    EXPECT_EQ(r.status, fresh.result.status);
    EXPECT_EQ(r.computed_checksum, fresh.result.computed_checksum);
    EXPECT_EQ(out, fresh.out);
    EXPECT_EQ(in.position(), fresh.consumed);
  }
}

// Hand-made faulty entries: every status, where the reader stops and what
// the output holds up to the fault.
TEST(DecodeEntry, ReportsMalformedDataWithoutOverrunning) {
  struct Case {
    const char* what;
    Bytes data;
    int32_t size;
    DecodeStatus status;
    Bytes out;          // decoded up to the fault
    uint64_t consumed;  // reader position afterwards
  };
  const Bytes spaces18(18, ' ');
  const std::vector<Case> cases = {
      {"no data at all", {}, 5, DecodeStatus::kTruncatedData, {}, 0},
      {"ends after a literal",
       // flag 03: two literals announced, only one present
       {0x03, 0x61}, 2, DecodeStatus::kTruncatedData, {'a'}, 2},
      {"ends inside a reference",
       // flag 00, B1 = 01, B2 missing
       {0x00, 0x01}, 18, DecodeStatus::kTruncatedData, {}, 2},
      {"ends between groups",
       // one full group of eight literals, original size 9
       {0xFF, 1, 2, 3, 4, 5, 6, 7, 8}, 9, DecodeStatus::kTruncatedData,
       {1, 2, 3, 4, 5, 6, 7, 8}, 9},
      {"ends inside the checksum",
       // 18 spaces, then 2 of the 4 checksum bytes
       {0x00, 0x01, 0x0F, 0x40, 0x02}, 18, DecodeStatus::kTruncatedChecksum, spaces18, 5},
      {"ends before the checksum",
       {0x00, 0x01, 0x0F}, 18, DecodeStatus::kTruncatedChecksum, spaces18, 3},
      {"distance 0",
       // flag 00, B1 = 00, B2 = 00: distance 0, length 3
       {0x00, 0x00, 0x00, 0, 0, 0, 0}, 3, DecodeStatus::kZeroDistance, {}, 3},
      {"distance 0 after literals",
       // flag 01: literal a, then B1 = 00, B2 = 0F: distance 0, length 18
       {0x01, 0x61, 0x00, 0x0F, 0, 0, 0, 0}, 19, DecodeStatus::kZeroDistance, {'a'}, 4},
      {"reference past the original size",
       // distance 1, length 18 into an entry of 10 bytes
       {0x00, 0x01, 0x0F, 0x40, 0x02, 0, 0}, 10, DecodeStatus::kPastOriginalSize, {}, 3},
      {"reference one past the original size",
       // literal a, then distance 1 length 3 where only 2 bytes remain
       {0x01, 0x61, 0x01, 0x00, 0, 0, 0, 0}, 3, DecodeStatus::kPastOriginalSize, {'a'}, 4},
  };
  for (const Case& c : cases) {
    for (int streaming = 0; streaming < 2; ++streaming) {
      SCOPED_TRACE(::testing::Message() << c.what << (streaming ? " streaming" : ""));
      const Decoded d = streaming ? DecodeStreaming(c.data, c.size, 1) : Decode(c.data, c.size);
      EXPECT_EQ(d.result.status, c.status);
      EXPECT_FALSE(d.result.checksum_matches());
      EXPECT_EQ(d.out, c.out);
      EXPECT_EQ(d.result.computed_checksum, EntryChecksum(c.out.data(), c.out.size()));
      EXPECT_EQ(d.consumed, c.consumed);
      EXPECT_NE(DescribeDecodeStatus(d.result.status), nullptr);
    }
  }
}

// A checksum off by one is not a decoding fault: the bytes come back and
// the caller sees both sums.
TEST(DecodeEntry, ReturnsBothChecksumsOnAMismatch) {
  const Decoded d = Decode({0x00, 0x01, 0x0F, 0x41, 0x02, 0x00, 0x00}, 18);
  EXPECT_EQ(d.result.status, DecodeStatus::kOk);
  EXPECT_EQ(d.out, Bytes(18, ' '));
  EXPECT_EQ(d.result.stored_checksum, 577u);
  EXPECT_EQ(d.result.computed_checksum, 576u);
  EXPECT_FALSE(d.result.checksum_matches());
  EXPECT_EQ(d.consumed, 7u);
}

// Faults deep inside an entry, where whole groups are decoded without
// per-item checks: the fault is still found and reported.
TEST(DecodeEntry, FindsFaultsPastTheWindow) {
  const size_t kGroups = 1000;  // 8000 bytes of literals first
  {
    Bytes data = LiteralGroups(kGroups);
    // flag 01: literal 7A, then B1 = 00, B2 = 00: distance 0
    const Bytes bad = {0x01, 0x7A, 0x00, 0x00};
    data.insert(data.end(), bad.begin(), bad.end());
    data.resize(data.size() + 100, 0x11);  // more input after the fault
    const Decoded d = Decode(data, 100000);
    EXPECT_EQ(d.result.status, DecodeStatus::kZeroDistance);
    EXPECT_EQ(d.out.size(), kGroups * 8 + 1);
    EXPECT_EQ(d.consumed, kGroups * 9 + bad.size());
  }
  {
    Bytes data = LiteralGroups(kGroups);
    // flag 00: distance 4095 length 18, whose end lies 10 bytes past the
    // original size of 8000 + 8
    const Bytes bad = {0x00, 0xFF, 0xFF};
    data.insert(data.end(), bad.begin(), bad.end());
    data.resize(data.size() + 100, 0x11);
    const Decoded d = Decode(data, static_cast<int32_t>(kGroups * 8 + 8));
    EXPECT_EQ(d.result.status, DecodeStatus::kPastOriginalSize);
    EXPECT_EQ(d.out.size(), kGroups * 8);
  }
}

// A header may claim far more than the data holds. The output grows only
// with what the consumed input produced.
TEST(DecodeEntry, ForgedOriginalSizeCostsNoMemory) {
  const int32_t kForged = 0x7FFFFFFF;
  {
    // flag 00, distance 1 length 18, then the data ends
    const Decoded d = Decode({0x00, 0x01, 0x0F}, kForged);
    EXPECT_EQ(d.result.status, DecodeStatus::kTruncatedData);
    EXPECT_EQ(d.out, Bytes(18, ' '));
    EXPECT_LE(d.out.capacity(), 4096u);
  }
  {
    // 64 KiB of real groups, then the end
    Bytes data = LiteralGroups(8192);
    const Decoded d = Decode(data, kForged);
    EXPECT_EQ(d.result.status, DecodeStatus::kTruncatedData);
    EXPECT_EQ(d.out.size(), 8192u * 8);
    EXPECT_LE(d.out.capacity(), 4 * d.out.size() + (1u << 20));
  }
  {
    // Runs of spaces expand 8.5 times; still bounded by what was produced.
    Bytes data;
    for (int g = 0; g < 4000; ++g) {
      data.push_back(0x00);
      for (int k = 0; k < 8; ++k) {
        data.push_back(0x01);
        data.push_back(0x0F);
      }
    }
    const Decoded d = DecodeStreaming(data, kForged, 4096);
    EXPECT_EQ(d.result.status, DecodeStatus::kTruncatedData);
    EXPECT_EQ(d.out.size(), 4000u * 144);
    EXPECT_LE(d.out.capacity(), 4 * d.out.size() + (1u << 20));
  }
}

class Points : public DecodeProgress {
 public:
  void OnProgressPoint(int64_t bytes_done) override { seen.push_back(bytes_done); }
  std::vector<int64_t> seen;
};

// Progress points come at group ends where the running total is an exact
// multiple of 1000, the last group included.
TEST(DecodeEntry, MakesProgressPointsAtExactThousands) {
  struct Case {
    const char* what;
    size_t groups;        // groups of eight literals
    int64_t done_before;
    std::vector<int64_t> expected;
  };
  const std::vector<Case> cases = {
      {"1000 bytes: one point, after the last group", 125, 0, {1000}},
      {"999 bytes before: no group end hits a thousand", 125, 999, {}},
      {"2000 before, 1000 bytes", 125, 2000, {3000}},
      {"4 before: 4 + 8k is never 1000k below 3004", 375, 4, {}},
      {"10000 bytes: points in the fast path too", 1250, 0,
       {1000, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 9000, 10000}},
  };
  for (const Case& c : cases) {
    Bytes data = LiteralGroups(c.groups);
    AppendChecksum(&data, 0);  // the checksum is not the point here
    Points points;
    Bytes out;
    ByteReader in(data.data(), data.size());
    DecodeEntry(in, static_cast<int32_t>(c.groups * 8), &out, &points, c.done_before);
    EXPECT_EQ(points.seen, c.expected) << c.what;
  }
  // 3 bytes owed from before (done_before -3) and an entry of 1003 bytes
  // ending with a group of three literals: -3 + 8k is odd at every full
  // group, so the only point is after the short last group.
  {
    Bytes data = LiteralGroups(125);
    data.push_back(0x07);  // 3 literals
    data.insert(data.end(), {1, 2, 3});
    AppendChecksum(&data, 0);
    Points points;
    Bytes out;
    ByteReader in(data.data(), data.size());
    DecodeEntry(in, 1003, &out, &points, -3);
    EXPECT_EQ(points.seen, (std::vector<int64_t>{1000}));
  }
}

}  // namespace
}  // namespace pbo
