// Files, folders and archives for the installer tests: paths of the build's
// outputs, scratch folders, the sample "O.pbo" and a reader for archives.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "win32_files.h"

namespace fixture {

// Whole-file reads and writes, shared with the other Win32 test suites.
using testfiles::Bytes;
using testfiles::Exists;
using testfiles::DeleteTree;
using testfiles::ReadWhole;
using testfiles::WriteWhole;

// A Linux path of the build tree as Wine sees it ("Z:\...").
std::string FromHost(const std::string& unix_path);


// A fresh, empty folder below the test process's temporary folder, deleted
// again by the destructor. path() ends without a backslash.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& path() const { return path_; }
  // path() + "\" + relative, with the folders on the way created.
  std::string Make(const std::string& relative) const;

 private:
  std::string path_;
};

// One archive entry as the tests see it.
struct Entry {
  std::string name;
  Bytes content;
  bool compressed = false;
};

// The pack's 21 entries: resource name and entry name in the archive, and
// the generated file the resource was built from.
struct PackFile {
  std::string resource;
  std::string entry;
  std::string data_path;  // Wine path of the generated file
};
std::vector<PackFile> PackFiles();

// A game-like "O.pbo": a few hundred files below "Skal\", "Tree\", "Data\"
// and others, the 21 pack entries among them with old contents; every
// fourth entry (and two of the pack's) compressed.
std::vector<Entry> SampleEntries();
// Archive bytes for `entries`, header table then data, no product header.
Bytes WriteArchive(const std::vector<Entry>& entries);
// Parses an archive; compressed entries are decoded.
// @return false when the bytes are not a complete archive.
bool ReadArchive(const Bytes& archive, std::vector<Entry>* entries);

}  // namespace fixture
