// Every byte-exact example of the archive format and the codec, in one
// table: encoder outputs, decoder inputs, checksums and header layouts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/byte_reader.h"
#include "core/checksum.h"
#include "core/entry.h"
#include "core/le.h"
#include "core/lzss_decode.h"
#include "core/lzss_encode.h"

namespace pbo {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }
Bytes Repeat(uint8_t b, size_t n) { return Bytes(n, b); }

enum class Op {
  kEncode,       // input -> CompressBlock output
  kDecode,       // input (whole entry data) -> content of `size` bytes
  kChecksum,     // input -> the 4 checksum bytes
  kLayout,       // input = one entry's name -> table of it and the terminator
  kReadName,     // input = one header entry -> its name as read
};

struct Case {
  const char* what;
  Op op;
  Bytes input;
  Bytes expected;
  int32_t size = 0;  // original size, for kDecode
};

Bytes Apply(const Case& c) {
  switch (c.op) {
    case Op::kEncode:
      return CompressBlock(c.input.data(), c.input.size());
    case Op::kDecode: {
      ByteReader in(c.input.data(), c.input.size());
      Bytes out;
      const DecodeResult r = DecodeEntry(in, c.size, &out);
      EXPECT_EQ(r.status, DecodeStatus::kOk) << c.what;
      EXPECT_TRUE(r.checksum_matches()) << c.what;
      // The whole entry data is consumed, no byte more or less.
      EXPECT_EQ(in.position(), c.input.size()) << c.what;
      return out;
    }
    case Op::kChecksum: {
      Bytes sum(4);
      StoreLE32(sum.data(), EntryChecksum(c.input.data(), c.input.size()));
      return sum;
    }
    case Op::kLayout: {
      std::vector<EntryRecord> records;
      if (!c.input.empty()) {
        EntryRecord e;
        e.name.assign(c.input.begin(), c.input.end());
        e.method = kCompressedMethod;
        e.original_size = 0x01020304;
        e.reserved = 0;
        e.timestamp = -2;
        e.data_size = 7;
        records.push_back(e);
      }
      records.push_back(EntryRecord{});
      return LayoutHeaderTable(records);
    }
    case Op::kReadName: {
      ByteReader in(c.input.data(), c.input.size());
      EntryRecord e;
      EXPECT_EQ(ReadEntry(in, &e), ReadStatus::kOk) << c.what;
      return Text(e.name);
    }
  }
  return {};
}

TEST(KnownBytes, EveryExampleGivesItsExactBytes) {
  const Bytes a40 = Repeat('a', 40);
  const std::vector<Case> cases = {
      // Encoder outputs; the last four bytes are the checksum.
      {"one byte a", Op::kEncode, Text("a"), {0x01, 0x61, 0x61, 0, 0, 0}},
      {"abc: only spaces before it", Op::kEncode, Text("abc"),
       {0x07, 0x61, 0x62, 0x63, 0x26, 0x01, 0, 0}},
      {"3 spaces + abc: farthest virtual space", Op::kEncode, Text("   abc"),
       {0x0E, 0x12, 0x00, 0x61, 0x62, 0x63, 0x86, 0x01, 0, 0}},
      {"40 x a: literal, then 18, 18, 3", Op::kEncode, a40,
       {0x01, 0x61, 0x01, 0x0F, 0x01, 0x0F, 0x01, 0x00, 0x28, 0x0F, 0, 0}},
      {"18 spaces: nearest full-length candidate", Op::kEncode, Repeat(' ', 18),
       {0x00, 0x01, 0x0F, 0x40, 0x02, 0, 0}},
      {"50 spaces", Op::kEncode, Repeat(' ', 50),
       {0x00, 0x01, 0x0F, 0x01, 0x0F, 0x01, 0x0B, 0x40, 0x06, 0, 0}},
      {"abc x 7: distance 3 length 18", Op::kEncode, Text("abcabcabcabcabcabcabc"),
       {0x07, 0x61, 0x62, 0x63, 0x03, 0x0F, 0x0A, 0x08, 0, 0}},
      {"farthest of the equally long", Op::kEncode, Text("abcdXabcdYabcdZabcde"),
       {0x5F, 0x61, 0x62, 0x63, 0x64, 0x58, 0x05, 0x01, 0x59, 0x0A, 0x01,
        0x05, 0x5A, 0x0F, 0x01, 0x65, 0x98, 0x07, 0, 0}},
      {"eight literals keep flag FF", Op::kEncode, Text("abcdefgh"),
       {0xFF, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x24, 0x03, 0, 0}},
      {"an empty file has no entry data", Op::kEncode, {}, {}},
      {"a ninth byte starts a group 01", Op::kEncode, Text("abcdefghi"),
       {0xFF, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x01, 0x69, 0x8D, 0x03, 0, 0}},

      // Decoder inputs.
      {"original size 0 reads nothing", Op::kDecode, {}, {}, 0},
      {"distance 1 length 18 from nothing: 18 spaces", Op::kDecode,
       {0x00, 0x01, 0x0F, 0x40, 0x02, 0, 0}, Repeat(' ', 18), 18},
      {"ab, then distance 2 length 5", Op::kDecode,
       // flag 03: literal, literal, reference; bits 3..7 unused
       {0x03, 0x61, 0x62, 0x02, 0x02, 0xAA, 0x02, 0, 0},
       Text("abababa"), 7},
      {"ab, then distance 5 length 4: three spaces, then a", Op::kDecode,
       {0x03, 0x61, 0x62, 0x05, 0x01, 0x84, 0x01, 0, 0},
       Text("ab   a"), 6},
      {"last group 01 + literal ends the entry", Op::kDecode,
       {0xFF, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68,
        0x01, 0x69, 0x8D, 0x03, 0, 0},
       Text("abcdefghi"), 9},
      {"bits 3..7 of a three-item last group are ignored", Op::kDecode,
       {0xFF, 0x61, 0x62, 0x63, 0x26, 0x01, 0, 0}, Text("abc"), 3},
      {"last group with unused reference bits", Op::kDecode,
       {0x07, 0x61, 0x62, 0x63, 0x26, 0x01, 0, 0}, Text("abc"), 3},

      // Checksums.
      {"checksum of abc is 294", Op::kChecksum, Text("abc"), {0x26, 0x01, 0, 0}},
      {"checksum of 18 spaces is 576", Op::kChecksum, Repeat(' ', 18), {0x40, 0x02, 0, 0}},
      {"checksum of nothing is 0", Op::kChecksum, {}, {0, 0, 0, 0}},

      // Header layouts.
      {"no files: the terminating entry alone, 21 zeros", Op::kLayout, {}, Repeat(0, 21)},
      {"one entry: name, zero, five fields, then the terminator", Op::kLayout,
       Text("d\\f"),
       [] {
         Bytes b = {'d', '\\', 'f', 0,
                    0x73, 0x72, 0x70, 0x43,   // method "srpC"
                    0x04, 0x03, 0x02, 0x01,   // original size
                    0, 0, 0, 0,               // reserved
                    0xFE, 0xFF, 0xFF, 0xFF,   // time stamp -2
                    7, 0, 0, 0};              // data size
         b.resize(b.size() + 21, 0);
         return b;
       }()},
      {"forward slashes are read as backslashes", Op::kReadName,
       [] {
         Bytes b = Text("tex/a/b.paa");
         b.resize(b.size() + 21, 0);
         return b;
       }(),
       Text("tex\\a\\b.paa")},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Apply(c), c.expected) << c.what;
  }
}

// Every encoder output above decodes back to its input.
TEST(KnownBytes, EncodedExamplesDecodeToTheirInput) {
  const std::vector<Bytes> inputs = {Text("a"), Text("abc"), Text("   abc"),
                                     Repeat('a', 40), Repeat(' ', 50),
                                     Text("abcdXabcdYabcdZabcde")};
  for (const Bytes& input : inputs) {
    const Bytes packed = CompressBlock(input.data(), input.size());
    ByteReader in(packed.data(), packed.size());
    Bytes out;
    const DecodeResult r = DecodeEntry(in, static_cast<int32_t>(input.size()), &out);
    EXPECT_TRUE(r.checksum_matches());
    EXPECT_EQ(out, input);
    EXPECT_EQ(in.position(), packed.size());
  }
}

}  // namespace
}  // namespace pbo
