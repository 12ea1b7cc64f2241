// Header entries: the product-header test, reading entries and tables
// (including cut-off data), and the layout with data-size positions.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "chunk_source.h"
#include "core/byte_reader.h"
#include "core/entry.h"

namespace pbo {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(HasProductHeader, LooksOnlyAtTheMarkerBytes) {
  auto with_marker = [](size_t size, const char* text) {
    Bytes b(size, 0xEE);
    std::memcpy(b.data() + 34, text, std::min<size_t>(std::strlen(text), size - 34));
    return b;
  };
  struct Case {
    const char* what;
    Bytes data;
    bool expected;
  };
  const std::vector<Case> cases = {
      {"46-byte product header", with_marker(46, "Vavoziveve"), true},
      {"44 bytes are enough", with_marker(44, "Vavoziveve"), true},
      {"43 bytes cannot hold it", with_marker(43, "Vavoziveve"), false},
      {"case matters", with_marker(46, "vavoziveve"), false},
      {"a zero byte among the ten", with_marker(46, std::string("Vavoz\0veve", 10).c_str()), false},
      {"last letter differs", with_marker(46, "Vavozivevf"), false},
      {"nothing", {}, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HasProductHeader(c.data.data(), c.data.size()), c.expected) << c.what;
  }
}

std::vector<EntryRecord> SampleRecords() {
  std::vector<EntryRecord> records(3);
  records[0].name = "data\\grass.paa";
  records[0].method = kCompressedMethod;
  records[0].original_size = 123456;
  records[0].timestamp = -1;
  records[0].data_size = 4000;
  records[1].name = "x";
  records[1].method = 0;
  records[1].reserved = 0xDEADBEEF;
  records[1].timestamp = 0x5F000000;
  records[1].data_size = 7;
  return records;  // records[2] is the terminator
}

TEST(LayoutHeaderTable, PlacesEveryDataSizeFieldAndReadsBack) {
  std::vector<EntryRecord> records = SampleRecords();
  const Bytes table = LayoutHeaderTable(records, 46);
  // name + zero + 20 bytes of fields, per entry
  ASSERT_EQ(table.size(), (14 + 21) + (1 + 21) + 21u);
  // The data-size field lies 17 bytes after the name's end, counted from
  // the base given (here, after a 46-byte product header).
  EXPECT_EQ(records[0].data_size_pos, 46 + 14 + 17);
  EXPECT_EQ(records[1].data_size_pos, 46 + 35 + 1 + 17);
  EXPECT_EQ(records[2].data_size_pos, 46 + 35 + 22 + 0 + 17);
  EXPECT_EQ(table[records[0].data_size_pos - 46], 4000 & 0xFF);

  ByteReader in(table.data(), table.size());
  std::vector<EntryRecord> read;
  ASSERT_EQ(ReadHeaderTable(in, &read), ReadStatus::kOk);
  EXPECT_EQ(in.position(), table.size());
  ASSERT_EQ(read.size(), 3u);
  for (size_t k = 0; k < 3; ++k) {
    EXPECT_EQ(read[k].name, records[k].name);
    EXPECT_EQ(read[k].method, records[k].method);
    EXPECT_EQ(read[k].original_size, records[k].original_size);
    EXPECT_EQ(read[k].reserved, records[k].reserved);
    EXPECT_EQ(read[k].timestamp, records[k].timestamp);
    EXPECT_EQ(read[k].data_size, records[k].data_size);
  }
  EXPECT_TRUE(read[0].is_compressed());
  EXPECT_FALSE(read[1].is_compressed());
  EXPECT_TRUE(read[2].is_terminator());
}

// Every cut of a table ends in kTruncated; the entries read whole before the
// cut stay, and nothing reads past the data.
TEST(ReadHeaderTable, ReportsATableCutAtEveryOffset) {
  std::vector<EntryRecord> records = SampleRecords();
  const Bytes table = LayoutHeaderTable(records);
  const size_t first_end = 14 + 21;
  const size_t second_end = first_end + 22;
  for (size_t cut = 0; cut < table.size(); ++cut) {
    const Bytes part(table.begin(), table.begin() + static_cast<std::ptrdiff_t>(cut));
    ByteReader in(part.data(), part.size());
    std::vector<EntryRecord> read;
    EXPECT_EQ(ReadHeaderTable(in, &read), ReadStatus::kTruncated) << "cut " << cut;
    const size_t whole = cut >= second_end ? 2 : cut >= first_end ? 1 : 0;
    EXPECT_EQ(read.size(), whole) << "cut " << cut;
    EXPECT_EQ(in.position(), cut) << "cut " << cut;
  }
}

TEST(ReadEntry, KeepsAtMost255NameCharactersAndReadsTheRest) {
  Bytes header;
  for (int k = 0; k < 300; ++k) header.push_back(static_cast<uint8_t>(k % 2 ? '/' : 'a' + k % 26));
  header.push_back(0);
  const uint8_t fields[20] = {0x73, 0x72, 0x70, 0x43, 1, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0};
  header.insert(header.end(), fields, fields + 20);
  header.push_back(0x99);  // the next thing in the archive
  ByteReader in(header.data(), header.size());
  EntryRecord e;
  ASSERT_EQ(ReadEntry(in, &e), ReadStatus::kOk);
  EXPECT_EQ(e.name.size(), kMaxNameLength);
  EXPECT_EQ(e.name.find('/'), std::string::npos);
  EXPECT_EQ(e.name[1], '\\');
  EXPECT_EQ(e.method, kCompressedMethod);
  EXPECT_EQ(e.original_size, 1);
  EXPECT_EQ(e.timestamp, 2);
  EXPECT_EQ(e.data_size, 3);
  EXPECT_EQ(in.position(), header.size() - 1);
}

// A table read through a streaming source in tiny pieces gives the same
// records, and a read error shows as a cut table.
TEST(ReadHeaderTable, ReadsTheSameThroughAStreamingSource) {
  std::vector<EntryRecord> records = SampleRecords();
  const Bytes table = LayoutHeaderTable(records);
  pbo_test::ChunkSource source(table, 3);
  ByteReader in(source, 64);
  std::vector<EntryRecord> read;
  ASSERT_EQ(ReadHeaderTable(in, &read), ReadStatus::kOk);
  ASSERT_EQ(read.size(), 3u);
  EXPECT_EQ(read[0].name, records[0].name);
  EXPECT_EQ(read[1].data_size, 7);

  pbo_test::ChunkSource failing(table, 5, 40);
  ByteReader broken(failing, 64);
  std::vector<EntryRecord> partial;
  EXPECT_EQ(ReadHeaderTable(broken, &partial), ReadStatus::kTruncated);
  EXPECT_EQ(partial.size(), 1u);
  EXPECT_TRUE(broken.failed());
}

}  // namespace
}  // namespace pbo
