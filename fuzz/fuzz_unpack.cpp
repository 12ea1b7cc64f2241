// The whole unpack workflow on arbitrary archive bytes, in the in-memory
// platform. The archive lies at C:\in\O.pbo and is unpacked into C:\out, where
// an output folder O from an earlier run waits (with a folder link to C:\keep
// inside it) and a file lies beside it. Checked after every run:
// - nothing outside C:\out\O is created, changed or deleted (the archive and
//   the link's target included), and every changing call names a path inside
//   it after the system's path rules (".." resolved, trailing dots dropped);
// - no file handle stays open;
// - the result is false exactly when a box other than a checksum mismatch
//   was shown;
// - with result true, C:\out\O holds exactly the files (and their folders)
//   that a plain reading of the archive with the core's header and entry
//   readers gives, byte for byte, each with its entry's time stamp;
// - with result false, a refused name leaves the old output folder as it was;
//   otherwise every file there is an entry's content or, when a box names it,
//   the beginning of it.
#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/byte_reader.h"
#include "core/entry.h"
#include "core/lzss_decode.h"
#include "fuzz_check.h"
#include "memory_platform.h"
#include "workflow/workflows.h"

namespace {

constexpr char kArchive[] = "C:\\in\\O.pbo";
constexpr char kDestination[] = "C:\\out";
constexpr char kOutKey[] = "c:\\out\\o";

bool InsideOut(const std::string& key) {
  const std::string root = kOutKey;
  return key == root || key.compare(0, root.size() + 1, root + "\\") == 0;
}

struct Item {
  std::vector<uint8_t> bytes;
  uint64_t last_write = 0;
  bool operator==(const Item& o) const {
    return bytes == o.bytes && last_write == o.last_write;
  }
};

// Every item below C: by its key ("c:\a\b" for a file, "c:\a\" for a folder).
std::map<std::string, Item> Snapshot(pbo_test::MemoryPlatform& p) {
  std::map<std::string, Item> out;
  p.ForEachBelow("C:", [&out](const std::string& rel, const pbo_test::MemoryPlatform::Node& node) {
    out["c:\\" + rel] = Item{node.data, node.last_write};
  });
  return out;
}

std::map<std::string, Item> Outside(const std::map<std::string, Item>& all) {
  std::map<std::string, Item> out;
  for (const auto& [key, item] : all) {
    std::string bare = key.back() == '\\' ? key.substr(0, key.size() - 1) : key;
    if (!InsideOut(bare)) out[key] = item;
  }
  return out;
}

std::map<std::string, Item> Inside(const std::map<std::string, Item>& all) {
  std::map<std::string, Item> out;
  for (const auto& [key, item] : all) {
    const std::string root = std::string(kOutKey) + "\\";
    if (key.size() > root.size() && key.compare(0, root.size(), root) == 0) {
      out[key] = item;
    }
  }
  return out;
}

// One entry as a plain reading of the archive gives it.
struct Expected {
  std::string name;
  int32_t timestamp = 0;
  std::vector<uint8_t> content;  // what could be read, whole or not
  bool whole = false;            // the data was read to its end
};

// Reads the archive the simple way: product-header test, header table, then
// each entry's data in turn, stored ones by their data size and compressed
// ones by decoding. Stops after the first entry whose data is cut or damaged.
// @return false when the header table itself is cut.
bool ReadPlainly(const uint8_t* data, size_t size, std::vector<Expected>* out) {
  pbo::ByteReader in(data, size);
  if (pbo::HasProductHeader(data, size)) in.Skip(pbo::kProductHeaderSize);
  std::vector<pbo::EntryRecord> table;
  if (pbo::ReadHeaderTable(in, &table) != pbo::ReadStatus::kOk) return false;
  table.pop_back();
  for (const pbo::EntryRecord& e : table) {
    Expected x;
    x.name = e.name;
    x.timestamp = e.timestamp;
    if (!e.is_compressed()) {
      uint64_t want = e.data_size > 0 ? static_cast<uint64_t>(e.data_size) : 0;
      if (want > size) want = size;  // more than the archive holds
      x.content.resize(static_cast<size_t>(want));
      x.content.resize(in.Read(x.content.data(), x.content.size()));
      x.whole = e.data_size <= 0 || x.content.size() == static_cast<size_t>(e.data_size);
    } else if (e.original_size > 0) {
      pbo::DecodeResult r = pbo::DecodeEntry(in, e.original_size, &x.content);
      x.whole = r.status == pbo::DecodeStatus::kOk;
    } else {
      x.whole = true;
    }
    out->push_back(x);
    if (!x.whole) break;
  }
  return true;
}

// The last-write time a file gets from a time stamp, in the platform's model.
uint64_t StampedTime(int32_t stamp) {
  pbo_test::MemoryPlatform scratch;
  scratch.AddFolder("C:\\t");
  scratch.CreateWrite("C:\\t\\f").reset();
  scratch.SetFileStamp("C:\\t\\f", stamp, 0);
  return scratch.LastWrite("C:\\t\\f");
}

bool StartsWith(const std::string& text, const std::string& head) {
  return text.compare(0, head.size(), head) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> archive(data, data + size);
  pbo_test::MemoryPlatform p;
  p.AddFile(kArchive, archive);
  p.AddFile("C:\\in\\beside.txt", "beside the archive");
  p.AddFile("C:\\out\\sentinel.txt", "beside the output folder");
  p.AddFile("C:\\out\\O\\old.txt", "from an earlier run");
  p.AddFile("C:\\out\\O\\tex\\old.paa", "stale texture");
  p.AddFile("C:\\keep\\target.txt", "reached only through a link");
  p.AddLink("C:\\out\\O\\lnk", "C:\\keep");
  p.max_pull = 97;  // many short reads, so entries straddle read buffers

  std::vector<std::string> changed;  // every path a changing call named
  p.before_call = [&changed](pbo_test::MemoryPlatform::Op op, const std::string& path) {
    using Op = pbo_test::MemoryPlatform::Op;
    if (op != Op::kListFolder && op != Op::kIdentity && op != Op::kOpenRead &&
        op != Op::kPull) {
      changed.push_back(path);
    }
  };

  const std::map<std::string, Item> before = Snapshot(p);
  const bool result = pbo::UnpackArchive(p, kArchive, kDestination);
  p.before_call = nullptr;
  const std::map<std::string, Item> after = Snapshot(p);

  FUZZ_CHECK(p.OpenHandles() == 0);
  for (const std::string& path : changed) {
    FUZZ_CHECK(InsideOut(pbo_test::ResolvePath(path)));
  }
  FUZZ_CHECK(Outside(before) == Outside(after));

  bool refused = false;
  bool other_box = false;
  for (const std::string& box : p.boxes) {
    if (StartsWith(box, "Unsafe file name in archive")) refused = true;
    if (!StartsWith(box, "CRC is not matched")) other_box = true;
  }
  FUZZ_CHECK(result == !other_box);

  std::vector<Expected> plain;
  const bool table_read = ReadPlainly(data, size, &plain);
  const std::map<std::string, Item> inside = Inside(after);
  const std::string root = std::string(kOutKey) + "\\";

  if (result) {
    FUZZ_CHECK(table_read);
    // The files the archive gives, a later entry of the same name winning,
    // and every folder on their way.
    std::map<std::string, Item> want;
    for (const Expected& x : plain) {
      FUZZ_CHECK(x.whole);
      std::string key = root + pbo_test::LowerAscii(x.name);
      want[key] = Item{x.content, StampedTime(x.timestamp)};
      for (size_t cut = key.find('\\', root.size()); cut != std::string::npos;
           cut = key.find('\\', cut + 1)) {
        std::string folder = key.substr(0, cut + 1);
        want[folder] = Item{{}, 0};
      }
    }
    std::map<std::string, Item> got = inside;
    for (auto& [key, item] : got) {
      if (key.back() == '\\') item = Item{{}, 0};
    }
    FUZZ_CHECK(got == want);
    FUZZ_CHECK((after.count(root) == 1) == !plain.empty());
    return 0;
  }

  if (refused) {
    FUZZ_CHECK(Inside(before) == inside);
    FUZZ_CHECK(after.count(root) == 1);
    return 0;
  }
  // A failure: each file is an unchanged one of the old folder, a whole
  // entry, or the beginning of an entry that a box names.
  for (const auto& [key, item] : inside) {
    if (key.back() == '\\') continue;
    auto old = before.find(key);
    if (old != before.end() && old->second.bytes == item.bytes) continue;
    bool matched = false;
    for (const Expected& x : plain) {
      if (root + pbo_test::LowerAscii(x.name) != key) continue;
      const std::vector<uint8_t>& c = x.content;
      if (item.bytes == c && x.whole) {
        matched = true;
      } else if (item.bytes.size() <= c.size() &&
                 std::equal(item.bytes.begin(), item.bytes.end(), c.begin())) {
        for (const std::string& box : p.boxes) {
          if (box.find(x.name) != std::string::npos) matched = true;
        }
      }
    }
    FUZZ_CHECK(matched);
  }
  return 0;
}
