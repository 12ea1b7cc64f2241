#include "fixture.h"

#include <windows.h>


#include "core/byte_reader.h"
#include "core/entry.h"
#include "core/lzss_decode.h"
#include "core/lzss_encode.h"

namespace fixture {

std::string FromHost(const std::string& unix_path) {
  std::string out = "Z:" + unix_path;
  for (char& c : out) {
    if (c == '/') c = '\\';
  }
  return out;
}

ScratchFolder::ScratchFolder() : path_(testfiles::NewTempFolderPath("installer_test_")) {
  DeleteTree(path_);
  CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() { DeleteTree(path_); }

std::string ScratchFolder::Make(const std::string& relative) const {
  const std::string full = path_ + "\\" + relative;
  for (size_t i = path_.size() + 1; i < full.size(); ++i) {
    if (full[i] == '\\') CreateDirectoryA(full.substr(0, i).c_str(), nullptr);
  }
  return full;
}

std::vector<PackFile> PackFiles() {
  std::vector<PackFile> files;
  Bytes table;
  const std::string folder = FromHost(PACK_DATA_DIR);
  if (!ReadWhole(folder + "\\payload.txt", &table)) return files;
  // Lines "PATCHn size entry-name".
  std::string text(table.begin(), table.end());
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    const size_t first = line.find(' ');
    const size_t second = line.find(' ', first + 1);
    if (first != std::string::npos && second != std::string::npos) {
      const std::string resource = line.substr(0, first);
      files.push_back({resource, line.substr(second + 1), folder + "\\" + resource + ".pac"});
    }
    at = end + 1;
  }
  return files;
}

namespace {

// Content of a sample file: a little text-like and repetitive, as game data
// is, so that compressed entries really use back references.
Bytes SampleContent(size_t index, size_t size) {
  static const char kWords[] = "class CfgVehicles model texture vertex forest stone leaf ";
  Bytes out(size);
  uint32_t state = 0x1234567u + static_cast<uint32_t>(index) * 2654435761u;
  for (size_t i = 0; i < size; ++i) {
    state = state * 1664525u + 1013904223u;
    out[i] = (state >> 28) < 11 ? static_cast<uint8_t>(kWords[(i + index) % (sizeof(kWords) - 1)])
                                : static_cast<uint8_t>(state >> 20);
  }
  return out;
}

}  // namespace

std::vector<Entry> SampleEntries() {
  std::vector<Entry> entries;
  std::vector<std::string> names;
  for (const PackFile& file : PackFiles()) names.push_back(file.entry);
  for (int i = 0; i < 80; ++i) names.push_back("Skal\\skala" + std::to_string(i) + ".pac");
  for (int i = 0; i < 150; ++i) names.push_back("Tree\\strom" + std::to_string(i) + ".paa");
  for (int i = 0; i < 40; ++i) names.push_back("Data\\obj" + std::to_string(i) + ".p3d");
  for (int i = 0; i < 12; ++i) names.push_back("Data\\Sub\\x" + std::to_string(i) + ".txt");
  names.push_back("config.cpp");
  names.push_back("Data\\empty.txt");
  for (size_t i = 0; i < names.size(); ++i) {
    // Mix the pack's names in among the others, as a real archive has them.
    const size_t at = (i * 7) % (entries.size() + 1);
    Entry entry;
    entry.name = names[i];
    entry.content = entry.name == "Data\\empty.txt" ? Bytes() : SampleContent(i, 40 + (i * 397) % 3000);
    entry.compressed = i % 4 == 1 || i == 0 || i == 20;
    entries.insert(entries.begin() + static_cast<std::ptrdiff_t>(at), entry);
  }
  return entries;
}

Bytes WriteArchive(const std::vector<Entry>& entries) {
  std::vector<pbo::EntryRecord> records;
  std::vector<Bytes> data;
  for (const Entry& entry : entries) {
    pbo::EntryRecord record;
    record.name = entry.name;
    record.timestamp = 1000000000 + static_cast<int32_t>(records.size());
    if (entry.compressed) {
      record.method = pbo::kCompressedMethod;
      record.original_size = static_cast<int32_t>(entry.content.size());
      data.push_back(entry.content.empty()
                         ? Bytes()
                         : pbo::CompressBlock(entry.content.data(), entry.content.size()));
    } else {
      data.push_back(entry.content);
    }
    record.data_size = static_cast<int32_t>(data.back().size());
    records.push_back(record);
  }
  records.emplace_back();  // the terminating entry: 21 zero bytes
  Bytes out = pbo::LayoutHeaderTable(records);
  for (const Bytes& d : data) out.insert(out.end(), d.begin(), d.end());
  return out;
}

bool ReadArchive(const Bytes& archive, std::vector<Entry>* entries) {
  entries->clear();
  pbo::ByteReader in(archive.data(), archive.size());
  std::vector<pbo::EntryRecord> records;
  if (pbo::ReadHeaderTable(in, &records) != pbo::ReadStatus::kOk) return false;
  records.pop_back();
  for (const pbo::EntryRecord& record : records) {
    Entry entry;
    entry.name = record.name;
    entry.compressed = record.is_compressed();
    if (entry.compressed) {
      if (record.original_size > 0) {
        const pbo::DecodeResult result = pbo::DecodeEntry(in, record.original_size, &entry.content);
        if (!result.checksum_matches()) return false;
      }
    } else {
      entry.content.resize(static_cast<size_t>(record.data_size));
      if (in.Read(entry.content.data(), entry.content.size()) != entry.content.size()) return false;
    }
    entries->push_back(entry);
  }
  return in.position() == archive.size();
}

}  // namespace fixture
