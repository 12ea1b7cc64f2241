// Arbitrary bytes as an archive's start: the product-header test and the
// header-table reader must stay within the data, read the same through a
// streaming reader, and a table read whole must lay out and read back to
// the same records.
#include <cstdint>
#include <vector>

#include "core/byte_reader.h"
#include "core/entry.h"
#include "fuzz_check.h"

namespace {

bool SameRecord(const pbo::EntryRecord& a, const pbo::EntryRecord& b) {
  return a.name == b.name && a.method == b.method && a.original_size == b.original_size &&
         a.reserved == b.reserved && a.timestamp == b.timestamp && a.data_size == b.data_size;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const size_t start = pbo::HasProductHeader(data, size) ? pbo::kProductHeaderSize : 0;
  if (start > size) return 0;  // a 44- or 45-byte file with the marker: nothing to read
  pbo::ByteReader in(data + start, size - start);
  std::vector<pbo::EntryRecord> records;
  const pbo::ReadStatus status = pbo::ReadHeaderTable(in, &records);
  FUZZ_CHECK(in.position() <= size - start);
  for (const pbo::EntryRecord& e : records) {
    FUZZ_CHECK(e.name.size() <= pbo::kMaxNameLength);
    FUZZ_CHECK(e.name.find('/') == std::string::npos);
  }

  pbo_fuzz::PieceSource source(data + start, size - start, 5);
  pbo::ByteReader streamed(source, 64);
  std::vector<pbo::EntryRecord> streamed_records;
  FUZZ_CHECK(pbo::ReadHeaderTable(streamed, &streamed_records) == status);
  FUZZ_CHECK(streamed.position() == in.position());
  FUZZ_CHECK(streamed_records.size() == records.size());
  for (size_t k = 0; k < records.size(); ++k) FUZZ_CHECK(SameRecord(streamed_records[k], records[k]));

  if (status == pbo::ReadStatus::kOk) {
    FUZZ_CHECK(!records.empty() && records.back().is_terminator());
    std::vector<pbo::EntryRecord> copy = records;
    const std::vector<uint8_t> table = pbo::LayoutHeaderTable(copy, 46);
    pbo::ByteReader again(table.data(), table.size());
    std::vector<pbo::EntryRecord> reread;
    FUZZ_CHECK(pbo::ReadHeaderTable(again, &reread) == pbo::ReadStatus::kOk);
    FUZZ_CHECK(again.position() == table.size());
    FUZZ_CHECK(reread.size() == records.size());
    for (size_t k = 0; k < records.size(); ++k) {
      FUZZ_CHECK(SameRecord(reread[k], records[k]));
      FUZZ_CHECK(table[static_cast<size_t>(copy[k].data_size_pos) - 46] ==
                 static_cast<uint8_t>(records[k].data_size));
    }
  }
  return 0;
}
