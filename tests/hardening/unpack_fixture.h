// The sample archive of the unpack matrices and the check that an unpack
// run, whatever stopped it, left nothing unsound behind.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "fault_matrix.h"
#include "memory_platform.h"

namespace pbo_test {

constexpr char kArchivePath[] = "C:\\game\\O.pbo";
constexpr char kUnpackDest[] = "C:\\tmp\\unpack";
constexpr char kUnpackOut[] = "C:\\tmp\\unpack\\O";

struct SampleFile {
  std::string name;  // entry name, backslash-separated
  std::string content;
};

// The sample's files in header order: stored and compressed entries with
// data, an empty one of each kind, nested folders, and a compressed entry
// with back references last.
const std::vector<SampleFile>& SampleFiles();

// The sample archive written by the library's encoder for its compressed
// entries, after `prefix` (a product header, for instance).
std::vector<uint8_t> SampleArchive(const std::vector<uint8_t>& prefix = {});

// A 46-byte product header with its marker and no zero byte.
std::vector<uint8_t> SampleProductHeader();

// A platform with `archive` at kArchivePath, an old output folder from an
// earlier run (a stale a.txt and a stale subfolder) and files beside it.
MemoryPlatform UnpackPlatform(const std::vector<uint8_t>& archive);

bool RunUnpack(MemoryPlatform& p);

// Checks a finished unpack run against the snapshot taken before it:
// no handle left open; nothing changed outside the output folder; with
// result true, no box and every entry's file byte-identical; with result
// false, exactly one box. In both cases every file in the output folder is
// either unchanged from before, byte-identical to its entry's content, or
// (only when the box names it) the beginning of its entry's content.
void ExpectSoundUnpack(MemoryPlatform& p, const Snapshot& before, bool result);

}  // namespace pbo_test
