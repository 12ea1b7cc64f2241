// The library's face to its callers: the export and import tables of the
// built file, the information text, and the stdcall frame of the working
// functions as seen from the machine registers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>

#include "harness.h"

namespace pbotest {
namespace {

// A PE image read from disk, with its sections for RVA lookups.
class PeFile {
 public:
  explicit PeFile(const std::string& path) {
    EXPECT_TRUE(ReadFileBytes(path, &bytes_)) << path;
    if (bytes_.size() < 0x40) return;
    const uint32_t pe = LoadLE32(bytes_, 0x3C);
    if (pe + 24 > bytes_.size() || LoadLE32(bytes_, pe) != 0x00004550) return;
    const size_t coff = pe + 4;
    const unsigned sections = bytes_[coff + 2] | bytes_[coff + 3] << 8;
    const unsigned optional_size = bytes_[coff + 16] | bytes_[coff + 17] << 8;
    optional_ = coff + 20;
    magic_ = bytes_[optional_] | bytes_[optional_ + 1] << 8;
    const size_t table = optional_ + optional_size;
    for (unsigned i = 0; i < sections; ++i) {
      const size_t s = table + 40 * i;
      sections_.push_back({LoadLE32(bytes_, s + 12), LoadLE32(bytes_, s + 8),
                           LoadLE32(bytes_, s + 20)});
    }
  }

  uint16_t magic() const { return magic_; }
  // Data directory i of a PE32 image: RVA of its table.
  uint32_t Directory(int i) const {
    return LoadLE32(bytes_, optional_ + 96 + 8 * i);
  }
  uint32_t U32(uint32_t rva) const { return LoadLE32(bytes_, Offset(rva)); }
  uint16_t U16(uint32_t rva) const {
    const size_t at = Offset(rva);
    return static_cast<uint16_t>(bytes_[at] | bytes_[at + 1] << 8);
  }
  std::string Text(uint32_t rva) const {
    std::string s;
    for (size_t at = Offset(rva); at < bytes_.size() && bytes_[at]; ++at) {
      s.push_back(static_cast<char>(bytes_[at]));
    }
    return s;
  }

 private:
  struct Section {
    uint32_t rva, size, file_offset;
  };
  size_t Offset(uint32_t rva) const {
    for (const Section& s : sections_) {
      if (rva >= s.rva && rva < s.rva + s.size) return rva - s.rva + s.file_offset;
    }
    ADD_FAILURE() << "RVA outside every section: " << rva;
    return 0;
  }
  Bytes bytes_;
  size_t optional_ = 0;
  uint16_t magic_ = 0;
  std::vector<Section> sections_;
};

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

TEST(ExportTable, NamesTheModuleAndExactlyFourFunctionsByFixedOrdinals) {
  Library lib;
  PeFile pe(lib.file_path());
  ASSERT_EQ(pe.magic(), 0x10B) << "not a 32-bit image";
  const uint32_t dir = pe.Directory(0);
  ASSERT_NE(dir, 0u);
  EXPECT_EQ(pe.Text(pe.U32(dir + 12)), "pbokit.dll");
  const uint32_t base = pe.U32(dir + 16);
  const uint32_t functions = pe.U32(dir + 20);
  const uint32_t names = pe.U32(dir + 24);
  EXPECT_EQ(base, 1u);
  EXPECT_EQ(functions, 4u);
  ASSERT_EQ(names, 4u);

  std::map<std::string, uint32_t> ordinal_of;
  for (uint32_t i = 0; i < names; ++i) {
    const std::string name = pe.Text(pe.U32(pe.U32(dir + 32) + 4 * i));
    ordinal_of[name] = base + pe.U16(pe.U32(dir + 36) + 2 * i);
  }
  const std::map<std::string, uint32_t> want = {
      {"_PackPbo", 1}, {"_CompressPbo", 2}, {"_DecompressPbo", 3},
      {"_GetInfoDll", 4}};
  EXPECT_EQ(ordinal_of, want);

  // The loader agrees: each ordinal reaches the function of its name.
  for (const auto& [name, ordinal] : want) {
    EXPECT_EQ(GetProcAddress(lib.module(), name.c_str()),
              GetProcAddress(lib.module(), MAKEINTRESOURCEA(ordinal)))
        << name;
  }
}

TEST(ExportTable, ImportsOnlySystemLibraries) {
  Library lib;
  PeFile pe(lib.file_path());
  const uint32_t dir = pe.Directory(1);
  ASSERT_NE(dir, 0u);
  const std::vector<std::string> system = {
      "kernel32.dll", "user32.dll", "msvcrt.dll", "advapi32.dll",
      "gdi32.dll",    "ntdll.dll",  "comctl32.dll"};
  std::vector<std::string> imported;
  for (uint32_t d = dir; pe.U32(d + 12) != 0; d += 20) {
    imported.push_back(Lower(pe.Text(pe.U32(d + 12))));
  }
  EXPECT_FALSE(imported.empty());
  for (const std::string& name : imported) {
    EXPECT_NE(std::find(system.begin(), system.end(), name), system.end())
        << "imports " << name << ", which a clean system does not have";
  }
}

TEST(InfoText, IsFiveFixedLinesAtOneConstantAddress) {
  Library lib;
  ASSERT_NE(lib.info, nullptr);
  const char* first = lib.info();
  const char* second = lib.info();
  EXPECT_EQ(first, second);
  const std::string text = first;
  // Lines: name, version, empty, copyright, contacts; no trailing break.
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t at; (at = text.find("\r\n", start)) != std::string::npos;
       start = at + 2) {
    lines.push_back(text.substr(start, at - start));
  }
  lines.push_back(text.substr(start));
  ASSERT_EQ(lines.size(), 5u) << text;
  EXPECT_EQ(lines[0], "Pbokit Dynamic-link library");
  EXPECT_EQ(lines[1], "version 1.7 (build 07.07.2005)");
  EXPECT_EQ(lines[2], "");
  EXPECT_EQ(lines[3].rfind("Copyright", 0), 0u) << lines[3];
  EXPECT_EQ(lines[4].rfind("Contacts: <", 0), 0u) << lines[4];
  EXPECT_EQ(text.back(), '>');
  EXPECT_EQ(text.find('\n', text.size() - 1), std::string::npos);
}

// Calls a five-argument export with a raw stdcall frame: the arguments are
// pushed right to left and the callee must remove exactly 20 bytes. EAX is
// filled with a pattern first so a callee that sets only AL shows up.
struct RawResult {
  uint32_t eax;
  int32_t esp_moved;  // stack pointer after the call minus before the pushes
};

RawResult CallStdcall5(void* fn, const uint32_t (&args)[5]) {
  uint32_t eax;
  int32_t moved;
  // ESI keeps the stack pointer, EDI the function and EBX the arguments:
  // all three are preserved by a stdcall callee.
  __asm__ volatile(
      "movl %%esp, %%esi\n\t"
      "pushl 16(%%ebx)\n\t"
      "pushl 12(%%ebx)\n\t"
      "pushl 8(%%ebx)\n\t"
      "pushl 4(%%ebx)\n\t"
      "pushl 0(%%ebx)\n\t"
      "movl $0xA5A5A5A5, %%eax\n\t"
      "call *%%edi\n\t"
      "movl %%esp, %%ecx\n\t"
      "subl %%esi, %%ecx\n\t"
      "movl %%esi, %%esp\n\t"
      : "=a"(eax), "=c"(moved)
      : "D"(fn), "b"(args)
      : "esi", "edx", "memory", "cc");
  return {eax, moved};
}

TEST(StdcallFrame, RemovesTwentyBytesAndAnswersExactlyZeroOrOne) {
  Library lib;
  Windows windows;
  BoxWatcher watcher;
  ScratchFolder scratch;
  WriteFileText(scratch / "O\\a.txt", "abc");
  const std::string source = scratch / "O";
  const std::string archive = scratch / "O.pbo";
  const std::string missing = scratch / "missing";

  auto arg = [](const void* p) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p));
  };
  const uint32_t owner = arg(windows.owner), bar = arg(windows.bar),
                 label = arg(windows.label), empty = arg("");
  struct Case {
    const char* export_name;
    const std::string* path;
    uint32_t want;
  };
  const Case cases[] = {
      {"_PackPbo", &missing, 0},       {"_PackPbo", &source, 1},
      {"_CompressPbo", &missing, 0},   {"_CompressPbo", &source, 1},
      {"_DecompressPbo", &missing, 0}, {"_DecompressPbo", &archive, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.export_name) + " " + *c.path);
    void* fn = reinterpret_cast<void*>(GetProcAddress(lib.module(), c.export_name));
    ASSERT_NE(fn, nullptr);
    const uint32_t args[5] = {owner, arg(c.path->c_str()), empty, bar, label};
    const RawResult r = CallStdcall5(fn, args);
    EXPECT_EQ(r.esp_moved, 0);
    EXPECT_EQ(r.eax, c.want);
  }
  // Every failing call showed exactly one box; the succeeding ones none.
  EXPECT_EQ(watcher.boxes().size(), 3u);
}

}  // namespace
}  // namespace pbotest
