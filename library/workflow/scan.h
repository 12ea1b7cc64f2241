// The folder scan of both packers: fills the entry table with one record per
// file below the source folder, depth first, in listing order.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/entry.h"
#include "workflow/platform.h"

namespace pbo {

// Files at or above this size do not fit the format's signed 32-bit sizes.
constexpr uint64_t kMaxFileSize = 0x80000000ull;

struct ScanResult {
  std::vector<EntryRecord> records;  // one per file, in scan order
  std::vector<std::string> paths;    // each file's relative path, uncut
  std::vector<uint64_t> sizes;       // each file's size as listed
  int64_t total = 0;                 // sum of the sizes
  std::string too_large;             // full path of a file of 2 GiB or more
};

struct ScanOptions {
  std::string source;  // the source folder, no trailing backslash
  bool compressed = false;
  // Files never taken as entries: the archive being written and its backup,
  // matched by name and then by identity (or, where no identity can be had,
  // by their full path).
  std::vector<std::string> excluded_paths;
};

// Scans `options.source` recursively. Folders are entered at once when
// listed, so a subfolder's files take their place where it was met; a folder
// whose listing cannot be opened adds nothing. A folder that is the same
// folder as one on the current path (a link leading back to a parent) is not
// entered again. Each file's record carries its relative path cut to 255
// characters, method 0 / original size 0 (stored) or the compressed method /
// the file's size (compressed), its time stamp, and its size as data size.
// The scan stops at the first file of 2 GiB or more, naming it in too_large.
// @return the records, paths and sizes found.
ScanResult ScanFolder(Platform& platform, const ScanOptions& options);

}  // namespace pbo
