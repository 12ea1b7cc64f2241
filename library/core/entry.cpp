#include "core/entry.h"

#include <cstring>

#include "core/le.h"

namespace pbo {

bool HasProductHeader(const uint8_t* data, size_t size) {
  constexpr size_t kMarkerLength = sizeof(kProductMarker) - 1;
  if (size < kProductMarkerOffset + kMarkerLength) return false;
  return std::memcmp(data + kProductMarkerOffset, kProductMarker,
                     kMarkerLength) == 0;
}

ReadStatus ReadEntry(ByteReader& in, EntryRecord* out) {
  out->name.clear();
  for (;;) {
    uint8_t c;
    if (!in.ReadByte(&c)) return ReadStatus::kTruncated;
    if (c == 0) break;
    if (c == '/') c = '\\';
    if (out->name.size() < kMaxNameLength) out->name.push_back(static_cast<char>(c));
  }
  uint8_t fields[20];
  if (in.Read(fields, sizeof fields) != sizeof fields) return ReadStatus::kTruncated;
  out->method = LoadLE32(fields);
  out->original_size = static_cast<int32_t>(LoadLE32(fields + 4));
  out->reserved = LoadLE32(fields + 8);
  out->timestamp = static_cast<int32_t>(LoadLE32(fields + 12));
  out->data_size = static_cast<int32_t>(LoadLE32(fields + 16));
  out->data_size_pos = 0;
  return ReadStatus::kOk;
}

ReadStatus ReadHeaderTable(ByteReader& in, std::vector<EntryRecord>* out) {
  for (;;) {
    EntryRecord e;
    if (ReadEntry(in, &e) != ReadStatus::kOk) return ReadStatus::kTruncated;
    const bool last = e.is_terminator();
    out->push_back(std::move(e));
    if (last) return ReadStatus::kOk;
  }
}

std::vector<uint8_t> LayoutHeaderTable(std::vector<EntryRecord>& records,
                                       int64_t base) {
  size_t total = 0;
  for (const EntryRecord& e : records) total += e.name.size() + kEntryFixedSize;
  std::vector<uint8_t> table(total);
  uint8_t* p = table.data();
  for (EntryRecord& e : records) {
    std::memcpy(p, e.name.data(), e.name.size());
    p += e.name.size();
    *p++ = 0;
    StoreLE32(p, e.method);
    StoreLE32(p + 4, static_cast<uint32_t>(e.original_size));
    StoreLE32(p + 8, e.reserved);
    StoreLE32(p + 12, static_cast<uint32_t>(e.timestamp));
    StoreLE32(p + 16, static_cast<uint32_t>(e.data_size));
    e.data_size_pos = static_cast<int32_t>(base + (p + 16 - table.data()));
    p += 20;
  }
  return table;
}

}  // namespace pbo
