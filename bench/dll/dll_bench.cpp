// Times pbokit.dll's working functions against CopyFileA of the same bytes,
// and measures the peak memory of an unpack. Loads the DLL by name, like any
// caller.
//
//   dll_bench [tree_mb [files [archive_mb [compress_mb]]]]
//     tree_mb      size of the generated folder tree (default 200)
//     files        number of files in it (default 1000)
//     archive_mb   size of the archive for the memory measurement (1024)
//     compress_mb  part of the tree timed with _CompressPbo (default 20)
//   dll_bench --peak <archive> <destination>
//     unpacks once and prints this process's peak memory (used internally,
//     so each measurement starts from a fresh process)
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "pbokit.h"
#include "win32_files.h"

namespace {

struct Dll {
  HMODULE module = LoadLibraryA("pbokit.dll");
  PFN_PackPbo pack = Get<PFN_PackPbo>("_PackPbo");
  PFN_CompressPbo compress = Get<PFN_CompressPbo>("_CompressPbo");
  PFN_DecompressPbo decompress = Get<PFN_DecompressPbo>("_DecompressPbo");

  template <typename F>
  F Get(const char* name) {
    if (module == nullptr) {
      std::fprintf(stderr, "cannot load pbokit.dll\n");
      std::exit(2);
    }
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  }
};

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void RemoveTree(const std::string& path) { testfiles::DeleteTree(path); }

// Fills `buffer` with bytes that compress to about half, like game data:
// 16-byte pieces of noise, half of them repeating a piece seen shortly before.
void Fill(std::vector<char>* buffer, uint32_t seed) {
  uint32_t state = seed * 2654435761u + 1;
  auto next = [&state] {
    state = state * 1103515245u + 12345u;
    return state >> 16;
  };
  for (size_t at = 0; at < buffer->size(); at += 16) {
    const size_t n = std::min<size_t>(16, buffer->size() - at);
    const bool repeat = at >= 1024 && (next() & 1);
    const size_t from = at - 16 * (1 + next() % 64);
    for (size_t i = 0; i < n; ++i) {
      (*buffer)[at + i] = repeat ? (*buffer)[from + i] : static_cast<char>(next());
    }
  }
}

bool WriteWhole(const std::string& path, const char* data, size_t n) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr,
                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = n == 0 || (WriteFile(h, data, static_cast<DWORD>(n), &written, nullptr) &&
                             written == n);
  CloseHandle(h);
  return ok;
}

// A tree of `files` files totalling about `bytes` in ten subfolders.
// @return the relative paths of the files.
std::vector<std::string> MakeTree(const std::string& root, uint64_t bytes,
                                  int files) {
  CreateDirectoryA(root.c_str(), nullptr);
  std::vector<std::string> names;
  std::vector<char> buffer(static_cast<size_t>(bytes / static_cast<uint64_t>(files)));
  for (int i = 0; i < files; ++i) {
    const std::string folder = "dir" + std::to_string(i % 10);
    CreateDirectoryA((root + "\\" + folder).c_str(), nullptr);
    const std::string name = folder + "\\file" + std::to_string(i) + ".paa";
    Fill(&buffer, static_cast<uint32_t>(i));
    if (!WriteWhole(root + "\\" + name, buffer.data(), buffer.size())) {
      std::fprintf(stderr, "cannot write %s\n", name.c_str());
      std::exit(2);
    }
    names.push_back(name);
  }
  return names;
}

// An archive of about `bytes` of content in 64 entries, written directly:
// stored, or compressed as groups of eight literals with their checksum.
void MakeArchive(const std::string& path, uint64_t bytes, bool compressed) {
  const int entries = 64;
  const uint32_t each = static_cast<uint32_t>(bytes / entries) & ~7u;
  const uint32_t packed = compressed ? each / 8 * 9 + 4 : each;
  std::string header;
  auto le32 = [](std::string* out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>(v >> (8 * i)));
  };
  for (int i = 0; i < entries; ++i) {
    header += "data\\part" + std::to_string(i) + ".bin";
    header.push_back('\0');
    le32(&header, compressed ? 0x43707273 : 0);
    le32(&header, compressed ? each : 0);
    le32(&header, 0);
    le32(&header, 1120737600);
    le32(&header, packed);
  }
  header.append(21, '\0');
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr,
                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  WriteFile(h, header.data(), static_cast<DWORD>(header.size()), &written, nullptr);
  std::vector<char> content(each);
  std::string data;
  for (int i = 0; i < entries; ++i) {
    Fill(&content, static_cast<uint32_t>(i + 5000));
    if (compressed) {
      data.clear();
      uint32_t sum = 0;
      for (uint32_t at = 0; at < each; at += 8) {
        data.push_back('\xFF');
        data.append(&content[at], 8);
      }
      for (char c : content) sum += static_cast<uint8_t>(c);
      le32(&data, sum);
      WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
    } else {
      WriteFile(h, content.data(), each, &written, nullptr);
    }
  }
  CloseHandle(h);
}

struct Timing {
  double best = 1e30;
  double median = 0;
};

// Times `run` over `rounds` rounds; `prepare` runs untimed before each.
template <typename P, typename F>
Timing Time(int rounds, P prepare, F run) {
  std::vector<double> t;
  for (int i = 0; i < rounds; ++i) {
    prepare();
    const double start = Now();
    run();
    t.push_back(Now() - start);
  }
  std::sort(t.begin(), t.end());
  return {t.front(), t[t.size() / 2]};
}

void Report(const char* what, const Timing& t, uint64_t bytes) {
  const double mb = static_cast<double>(bytes) / (1024.0 * 1024.0);
  std::printf("%-44s best %8.1f ms  median %8.1f ms  %7.1f MB/s\n", what,
              t.best * 1000, t.median * 1000, mb / t.best);
}

int Peak(const char* archive, const char* destination) {
  Dll dll;
  PROCESS_MEMORY_COUNTERS before;
  GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before);
  const double start = Now();
  const BOOL ok = dll.decompress(nullptr, archive, destination, nullptr, nullptr);
  const double seconds = Now() - start;
  PROCESS_MEMORY_COUNTERS after;
  GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after);
  std::printf("result %d in %.0f ms; working set before %.1f MB; peak working "
              "set %.1f MB; peak pagefile usage %.1f MB (before the call %.1f MB)\n",
              ok, seconds * 1000, before.WorkingSetSize / 1048576.0,
              after.PeakWorkingSetSize / 1048576.0,
              after.PeakPagefileUsage / 1048576.0,
              before.PeakPagefileUsage / 1048576.0);
  return ok ? 0 : 1;
}

// Runs this program again with --peak, so the peak covers one unpack only.
void PeakInChild(const std::string& archive, const std::string& destination) {
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string command = std::string("\"") + self + "\" --peak \"" + archive +
                        "\" \"" + destination + "\"";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi;
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0,
                      nullptr, nullptr, &si, &pi)) {
    std::fprintf(stderr, "cannot start %s\n", command.c_str());
    return;
  }
  WaitForSingleObject(pi.hProcess, INFINITE);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--peak") return Peak(argv[2], argv[3]);
  const uint64_t mb = 1024 * 1024;
  const uint64_t tree_bytes = (argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 200) * mb;
  const int files = argc > 2 ? std::atoi(argv[2]) : 1000;
  const uint64_t archive_bytes = (argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1024) * mb;
  const uint64_t compress_bytes = (argc > 4 ? std::strtoull(argv[4], nullptr, 10) : 20) * mb;
  const int rounds = 3;

  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string work = std::string(temp) + "pbokit_bench";
  RemoveTree(work);
  CreateDirectoryA(work.c_str(), nullptr);
  Dll dll;

  std::printf("tree: %llu MB in %d files; %d rounds each\n",
              static_cast<unsigned long long>(tree_bytes / mb), files, rounds);
  const std::string source = work + "\\O";
  const std::vector<std::string> names = MakeTree(source, tree_bytes, files);
  const uint64_t bytes = tree_bytes / static_cast<uint64_t>(files) * static_cast<uint64_t>(files);

  const std::string copy = work + "\\copy";
  auto fresh_copy = [&] {
    RemoveTree(copy);
    CreateDirectoryA(copy.c_str(), nullptr);
    for (int d = 0; d < 10; ++d) {
      CreateDirectoryA((copy + "\\dir" + std::to_string(d)).c_str(), nullptr);
    }
  };
  const Timing copy_files = Time(rounds, fresh_copy, [&] {
    for (const std::string& name : names) {
      CopyFileA((source + "\\" + name).c_str(), (copy + "\\" + name).c_str(), FALSE);
    }
  });
  RemoveTree(copy);
  Report("CopyFileA, file by file", copy_files, bytes);

  const std::string archive = work + "\\O.pbo";
  auto no_archive = [&] {
    DeleteFileA(archive.c_str());
    DeleteFileA((archive + ".bak").c_str());
  };
  const Timing pack = Time(rounds, no_archive, [&] {
    if (!dll.pack(nullptr, source.c_str(), "", nullptr, nullptr)) std::exit(3);
  });
  Report("_PackPbo", pack, bytes);

  const Timing copy_archive = Time(rounds, [&] {
    DeleteFileA((work + "\\archive-copy.pbo").c_str());
  }, [&] {
    CopyFileA(archive.c_str(), (work + "\\archive-copy.pbo").c_str(), FALSE);
  });
  DeleteFileA((work + "\\archive-copy.pbo").c_str());
  Report("CopyFileA of the archive, one file", copy_archive, bytes);

  const std::string out = work + "\\unpack";
  CreateDirectoryA(out.c_str(), nullptr);
  auto no_output = [&] { RemoveTree(out + "\\O"); };
  const Timing unpack = Time(rounds, no_output, [&] {
    if (!dll.decompress(nullptr, archive.c_str(), out.c_str(), nullptr, nullptr)) std::exit(3);
  });
  Report("_DecompressPbo (stored)", unpack, bytes);
  RemoveTree(out);
  DeleteFileA(archive.c_str());
  DeleteFileA((archive + ".bak").c_str());

  // The compressing packer on a part of the tree, and unpacking its output.
  const int compress_files = static_cast<int>(
      std::min<uint64_t>(names.size(), compress_bytes / (bytes / names.size())));
  const std::string part = work + "\\P";
  CreateDirectoryA(part.c_str(), nullptr);
  for (int i = 0; i < compress_files; ++i) {
    MoveFileA((source + "\\" + names[i]).c_str(),
              (part + "\\file" + std::to_string(i) + ".paa").c_str());
  }
  const uint64_t part_bytes = bytes / names.size() * static_cast<uint64_t>(compress_files);
  const std::string part_archive = work + "\\P.pbo";
  const Timing compress = Time(1, [] {}, [&] {
    if (!dll.compress(nullptr, part.c_str(), "", nullptr, nullptr)) std::exit(3);
  });
  HANDLE h = CreateFileA(part_archive.c_str(), GENERIC_READ, FILE_SHARE_READ,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  LARGE_INTEGER compressed_size = {};
  GetFileSizeEx(h, &compressed_size);
  CloseHandle(h);
  std::printf("compressing %d files of %llu MB: archive %.1f%% of the input\n",
              compress_files, static_cast<unsigned long long>(part_bytes / mb),
              100.0 * static_cast<double>(compressed_size.QuadPart) /
                  static_cast<double>(part_bytes));
  Report("_CompressPbo", compress, part_bytes);
  CreateDirectoryA(out.c_str(), nullptr);
  auto no_part_output = [&] { RemoveTree(out + "\\P"); };
  const Timing decode = Time(rounds, no_part_output, [&] {
    if (!dll.decompress(nullptr, part_archive.c_str(), out.c_str(), nullptr, nullptr)) std::exit(3);
  });
  Report("_DecompressPbo (compressed)", decode, part_bytes);
  RemoveTree(out);
  RemoveTree(source);

  for (const bool compressed : {false, true}) {
    std::printf("peak memory, unpacking a %s archive of %llu MB in 64 entries:\n",
                compressed ? "compressed" : "stored",
                static_cast<unsigned long long>(archive_bytes / mb));
    MakeArchive(work + "\\big.pbo", archive_bytes, compressed);
    CreateDirectoryA(out.c_str(), nullptr);
    PeakInChild(work + "\\big.pbo", out);
    RemoveTree(out);
  }
  DeleteFileA((work + "\\big.pbo").c_str());
  RemoveTree(work);
  return 0;
}
