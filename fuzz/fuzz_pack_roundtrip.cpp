// Pack and unpack whole folder trees in the in-memory platform. The input
// bytes describe a small tree below C:\src\Tree: folders and files with names
// of legal Windows characters, contents (raw bytes, repeated patterns, runs of
// spaces with flaws, empty) and last-write times at even seconds between 1980
// and 2038 (the archive keeps signed 32-bit seconds), and folder links, either
// back to a folder on their own path (not followed: the scan would never end)
// or to C:\ext, whose files then appear below the link; plus the time-zone bias
// and where the archive goes (a folder of its own, beside the source, or
// inside the source folder itself). The tree is packed stored, unpacked,
// packed compressed over the first archive (which must come back as ".bak")
// and unpacked again. Checked: every call succeeds without a box; each
// archive's header names exactly the tree's files and its data sizes lead
// from entry to entry to the archive's end; each unpacked tree has exactly
// the source's files, byte for byte, with their times, and the folders on
// their way; the source is left as it was.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/byte_reader.h"
#include "core/entry.h"
#include "core/lzss_decode.h"
#include "fuzz_check.h"
#include "memory_platform.h"
#include "workflow/workflows.h"

namespace {

constexpr char kSource[] = "C:\\src\\Tree";
constexpr int64_t kEpochAsFileTimeSeconds = 11644473600;
constexpr uint32_t kFirstStamp = 315619200;    // 1980-01-02 00:00:00 UTC
constexpr uint32_t kLastStamp = 2147385600;    // 2038-01-18 00:00:00 UTC

// Takes the input bytes in order; zeros once they run out.
class Input {
 public:
  Input(const uint8_t* data, size_t size) : p_(data), n_(size) {}
  bool empty() const { return n_ == 0; }
  uint8_t Byte() {
    if (n_ == 0) return 0;
    --n_;
    return *p_++;
  }
  uint32_t Word() {
    uint32_t w = 0;
    for (int i = 0; i < 4; ++i) w |= uint32_t{Byte()} << (8 * i);
    return w;
  }

 private:
  const uint8_t* p_;
  size_t n_;
};

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

// Names the system would open as a device in any folder.
bool IsDeviceName(const std::string& name) {
  std::string base = Lower(name.substr(0, name.find('.')));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (const char* d : {"con", "prn", "aux", "nul", "conin$", "conout$"}) {
    if (base == d) return true;
  }
  return base.size() == 4 && (base.compare(0, 3, "com") == 0 ||
                              base.compare(0, 3, "lpt") == 0) &&
         base[3] >= '0' && base[3] <= '9';
}

// A name of 1 to 8 characters that Windows accepts as a file or folder name:
// no <>:"/\|? * or control characters, no dot or space at its end.
std::string MakeName(Input& in) {
  static const char kChars[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
      "_-~!#$%&'()+,;=@[]^`{}. \xC0\xE9\xFC";
  constexpr size_t kCount = sizeof kChars - 1;
  size_t length = 1 + in.Byte() % 8;
  std::string name;
  for (size_t i = 0; i < length; ++i) name += kChars[in.Byte() % kCount];
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
  return name;
}

std::vector<uint8_t> MakeContent(Input& in) {
  std::vector<uint8_t> c;
  switch (in.Byte() % 4) {
    case 0:  // empty
      break;
    case 1: {  // raw bytes
      size_t n = in.Byte();
      for (size_t i = 0; i < n; ++i) c.push_back(in.Byte());
      break;
    }
    case 2: {  // a short pattern repeated, long enough to pass the window
      size_t plen = 1 + in.Byte() % 8;
      std::vector<uint8_t> pattern;
      for (size_t i = 0; i < plen; ++i) pattern.push_back(in.Byte());
      size_t n = (in.Byte() | size_t{in.Byte()} << 8) % 20000;
      for (size_t i = 0; i < n; ++i) c.push_back(pattern[i % plen]);
      break;
    }
    default: {  // spaces, which back references before the start yield
      size_t n = size_t{in.Byte()} * 20;
      c.assign(n, ' ');
      for (int flaws = in.Byte() % 4; flaws > 0 && n > 0; --flaws) {
        c[in.Word() % n] = in.Byte();
      }
      break;
    }
  }
  return c;
}

struct File {
  std::string path;  // relative, as created
  std::vector<uint8_t> content;
  uint64_t last_write = 0;
  bool via_link = false;  // reached through a link to C:\ext
};

// The folder that links may lead to, outside the source.
const std::vector<File>& ExternalFiles() {
  static const std::vector<File> files = {
      {"e1.txt", {'o', 'u', 't', 's', 'i', 'd', 'e'}, 127652112000000000ull, true},
      {"Sub\\e2.bin", std::vector<uint8_t>(300, 'e'), 127652112020000000ull, true},
  };
  return files;
}

// Builds the tree in the platform. @return its files in creation order.
std::vector<File> MakeTree(Input& in, pbo_test::MemoryPlatform& p) {
  std::vector<std::string> folders = {""};
  std::set<std::string> taken = {"tree.pbo", "tree.pbo.bak"};  // lower-case relative paths
  std::vector<File> files;
  p.AddFolder(kSource);
  for (int item = 0; item < 16 && !in.empty(); ++item) {
    const uint8_t kind = in.Byte() % 8;
    bool folder = kind == 0;
    const std::string parent = folders[in.Byte() % folders.size()];
    std::string name = MakeName(in);
    std::string path = parent.empty() ? name : parent + "\\" + name;
    bool usable = !name.empty() && !IsDeviceName(name) && taken.insert(Lower(path)).second;
    if (kind == 4) {  // a folder link
      const uint8_t target = in.Byte() % 3;
      if (!usable) continue;
      const std::string full = std::string(kSource) + "\\" + path;
      if (target == 0) {
        p.AddLink(full, kSource);
      } else if (target == 1) {
        p.AddLink(full, std::string(kSource) + (parent.empty() ? "" : "\\" + parent));
      } else {
        p.AddLink(full, "C:\\ext");
        for (File f : ExternalFiles()) {
          f.path = path + "\\" + f.path;
          files.push_back(f);
        }
      }
      continue;
    }
    if (folder) {
      if (!usable || std::count(path.begin(), path.end(), '\\') >= 3) continue;
      folders.push_back(path);
      p.AddFolder(std::string(kSource) + "\\" + path);
      continue;
    }
    File f;
    f.path = path;
    f.content = MakeContent(in);
    uint32_t stamp = kFirstStamp + in.Word() % (kLastStamp - kFirstStamp);
    stamp -= stamp % 2;
    f.last_write = (uint64_t{stamp} + kEpochAsFileTimeSeconds) * 10000000;
    if (!usable) continue;
    p.AddFile(std::string(kSource) + "\\" + path, f.content, f.last_write);
    files.push_back(f);
  }
  return files;
}

// Walks an archive by its header's data sizes: the names are exactly the
// files' paths, stored entries hold the content, and each compressed entry
// decodes to it and ends where its data size says.
void CheckLayout(const std::vector<uint8_t>& archive, bool compressed,
                 const std::vector<File>& files) {
  pbo::ByteReader in(archive.data(), archive.size());
  std::vector<pbo::EntryRecord> table;
  FUZZ_CHECK(!pbo::HasProductHeader(archive.data(), archive.size()));
  FUZZ_CHECK(pbo::ReadHeaderTable(in, &table) == pbo::ReadStatus::kOk);
  table.pop_back();
  FUZZ_CHECK(table.size() == files.size());
  std::map<std::string, const File*> by_name;
  for (const File& f : files) by_name[f.path] = &f;
  uint64_t offset = in.position();
  for (const pbo::EntryRecord& e : table) {
    FUZZ_CHECK(by_name.count(e.name) == 1);
    const File& f = *by_name[e.name];
    by_name.erase(e.name);
    FUZZ_CHECK(e.is_compressed() == compressed);
    FUZZ_CHECK(e.data_size >= 0 && offset + uint64_t(e.data_size) <= archive.size());
    pbo::ByteReader data(archive.data() + offset, static_cast<size_t>(e.data_size));
    std::vector<uint8_t> content;
    if (compressed) {
      FUZZ_CHECK(e.original_size == static_cast<int32_t>(f.content.size()));
      pbo::DecodeResult r = pbo::DecodeEntry(data, e.original_size, &content);
      FUZZ_CHECK(r.checksum_matches());
      FUZZ_CHECK(data.position() == uint64_t(e.data_size));
    } else {
      FUZZ_CHECK(e.method == 0 && e.original_size == 0);
      content.assign(archive.begin() + static_cast<ptrdiff_t>(offset),
                     archive.begin() + static_cast<ptrdiff_t>(offset) + e.data_size);
    }
    FUZZ_CHECK(content == f.content);
    offset += static_cast<uint64_t>(e.data_size);
  }
  FUZZ_CHECK(offset == archive.size());
}

struct Item {
  std::vector<uint8_t> bytes;
  uint64_t last_write = 0;
  bool operator==(const Item& o) const {
    return bytes == o.bytes && last_write == o.last_write;
  }
};

// The items below `root` as the platform's Tree lists them (lower-case keys,
// folders with a trailing backslash and no content).
std::map<std::string, Item> Listing(pbo_test::MemoryPlatform& p, const std::string& root) {
  std::map<std::string, Item> out;
  p.ForEachBelow(root, [&out](const std::string& rel, const pbo_test::MemoryPlatform::Node& node) {
    out[rel] = node.folder ? Item{} : Item{node.data, node.last_write};
  });
  return out;
}

// What an unpacked tree must hold: the files and the folders on their way.
std::map<std::string, Item> Wanted(const std::vector<File>& files) {
  std::map<std::string, Item> out;
  for (const File& f : files) {
    std::string key = Lower(f.path);
    out[key] = Item{f.content, f.last_write};
    for (size_t cut = key.find('\\'); cut != std::string::npos; cut = key.find('\\', cut + 1)) {
      out[key.substr(0, cut + 1)] = Item{};
    }
  }
  return out;
}

void PackAndUnpack(pbo_test::MemoryPlatform& p, const std::vector<File>& files,
                   const std::string& destination, pbo::PackMode mode,
                   const std::string& out) {
  const std::string archive =
      (destination.empty() ? std::string(kSource) : destination + "\\Tree") + ".pbo";
  const std::vector<uint8_t> previous = p.Bytes(archive);
  const bool had_previous = p.IsFile(archive);
  FUZZ_CHECK(pbo::PackFolder(p, kSource, destination.c_str(), mode));
  FUZZ_CHECK(p.boxes.empty());
  if (had_previous) FUZZ_CHECK(p.Bytes(archive + ".bak") == previous);
  CheckLayout(p.Bytes(archive), mode == pbo::PackMode::kCompressed, files);

  FUZZ_CHECK(pbo::UnpackArchive(p, archive.c_str(), out.c_str()));
  FUZZ_CHECK(p.boxes.empty());
  FUZZ_CHECK(p.OpenHandles() == 0);
  FUZZ_CHECK(Listing(p, out + "\\Tree") == Wanted(files));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in(data, size);
  pbo_test::MemoryPlatform p;
  p.bias = static_cast<int8_t>(in.Byte()) * 6;  // -768..762 minutes
  const uint8_t where = in.Byte() % 3;
  p.AddFolder("C:\\arc");
  for (const File& f : ExternalFiles()) {
    p.AddFile("C:\\ext\\" + f.path, f.content, f.last_write);
  }
  const std::vector<File> files = MakeTree(in, p);
  const std::string destination =
      where == 0 ? std::string("C:\\arc") : where == 1 ? std::string() : std::string(kSource);

  PackAndUnpack(p, files, destination, pbo::PackMode::kStored, "C:\\out1");
  PackAndUnpack(p, files, destination, pbo::PackMode::kCompressed, "C:\\out2");

  // The source is as it was, apart from the archives written into it.
  std::map<std::string, Item> source = Listing(p, kSource);
  source.erase("tree.pbo");
  source.erase("tree.pbo.bak");
  std::vector<File> real;
  for (const File& f : files) {
    if (!f.via_link) real.push_back(f);
  }
  std::map<std::string, Item> want = Wanted(real);
  for (const auto& [key, item] : source) {
    // folders without files, and the links themselves
    if (key.back() == '\\' && want.count(key) == 0) want[key] = Item{};
  }
  FUZZ_CHECK(Listing(p, "C:\\ext") == Wanted(ExternalFiles()));
  FUZZ_CHECK(source == want);
  return 0;
}
