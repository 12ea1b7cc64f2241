// The PBO header table: entry records, the product-header test, reading
// entries from a ByteReader and laying the table out for writing.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "byte_reader.h"

namespace pbo {

// Packing method that marks a compressed entry ("srpC" in file order).
constexpr uint32_t kCompressedMethod = 0x43707273;
// Names keep at most this many characters; further ones are read and dropped.
constexpr size_t kMaxNameLength = 255;
// Size of a product header, and the place of its marker text.
constexpr size_t kProductHeaderSize = 46;
constexpr size_t kProductMarkerOffset = 34;
constexpr char kProductMarker[] = "Vavoziveve";  // 10 characters
// Bytes of a header entry besides its name's characters: the zero byte and
// the five 32-bit fields.
constexpr size_t kEntryFixedSize = 21;

struct EntryRecord {
  std::string name;          // backslash-separated; empty for the terminator
  uint32_t method = 0;       // kCompressedMethod or anything else (stored)
  int32_t original_size = 0;
  uint32_t reserved = 0;
  int32_t timestamp = 0;     // seconds since 1970-01-01 00:00:00 UTC
  int32_t data_size = 0;
  int32_t data_size_pos = 0;  // offset of the data-size field in the archive

  bool is_terminator() const { return name.empty(); }
  bool is_compressed() const { return method == kCompressedMethod; }
};

// Product-header test on the first `size` bytes of an archive.
// @return true if and only if size >= 44 and bytes 34..43 are "Vavoziveve".
bool HasProductHeader(const uint8_t* data, size_t size);

enum class ReadStatus {
  kOk,
  kTruncated,  // the data ended inside a name or inside the five fields
};

// Reads one header entry at the reader's position: the name up to and
// including its zero byte (each '/' becomes '\', characters past 255 are
// read and dropped), then the five little-endian fields.
// @return kOk, or kTruncated when the data ends first; `out` is then unspecified.
ReadStatus ReadEntry(ByteReader& in, EntryRecord* out);

// Reads header entries up to and including the terminating entry (the first
// with an empty name), appending each to `out`, the terminator last.
// @return kOk, or kTruncated when the data ends before the terminating entry
//         has been read whole (the entries read completely stay in `out`).
ReadStatus ReadHeaderTable(ByteReader& in, std::vector<EntryRecord>* out);

// Lays out the header table for `records` (the terminating entry last, as
// the caller built it): for each, the name, a zero byte and the five fields.
// Sets every record's data_size_pos to the offset of its data-size field,
// counting from `base` (0 for an archive without product header).
// @return the bytes of the table.
std::vector<uint8_t> LayoutHeaderTable(std::vector<EntryRecord>& records,
                                       int64_t base = 0);

// Share of an entry in the unpacker's progress total: the original size
// where it is not 0, otherwise the data size.
inline int64_t ProgressShare(const EntryRecord& e) {
  return e.original_size != 0 ? e.original_size : e.data_size;
}

}  // namespace pbo
