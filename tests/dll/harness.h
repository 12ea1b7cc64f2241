// What a third-party caller of pbokit.dll brings to a call: the library
// loaded by name, windows that record every progress message they get, a
// watcher that reads and dismisses the library's message boxes, and scratch
// folders on the disk.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "pbokit.h"
#include "win32_files.h"

namespace pbotest {

// pbokit.dll loaded with LoadLibraryA by its bare name, exports looked up by
// name. Each call goes through the typedefs of the library's header.
class Library {
 public:
  Library();
  ~Library();
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  HMODULE module() const { return module_; }
  std::string file_path() const;  // where the loaded DLL lies

  PFN_PackPbo pack = nullptr;
  PFN_CompressPbo compress = nullptr;
  PFN_DecompressPbo decompress = nullptr;
  PFN_GetInfoDll info = nullptr;

 private:
  HMODULE module_ = nullptr;
};

// One message received by a recording window.
struct Event {
  HWND window;
  UINT message;  // PBM_SETRANGE, PBM_SETPOS, WM_SETTEXT or kMarker
  WPARAM wparam;
  LPARAM lparam;
  std::string text;  // WM_SETTEXT only
};

// A posted message the recorders note, to see what the pump delivered.
constexpr UINT kMarker = WM_APP + 7;

// The caller's three windows: owner, progress bar and label, all recorders
// on the calling thread. Every event lands in one log, in arrival order.
class Windows {
 public:
  Windows();
  ~Windows();
  Windows(const Windows&) = delete;
  Windows& operator=(const Windows&) = delete;

  HWND owner = nullptr;
  HWND bar = nullptr;
  HWND label = nullptr;

  const std::vector<Event>& events() const;
  void Clear();
  // Events as short strings for comparison: "range 0..1000", "pos 250",
  // "text 25 %", "marker 1" (owner, bar and label alike).
  std::vector<std::string> Trace() const;
};

// A message box seen by the watcher.
struct Box {
  std::string caption;
  std::string text;
  HWND owner;
};

// Watches this process's windows from a second thread; every dialog box
// that appears is recorded and answered with OK.
class BoxWatcher {
 public:
  BoxWatcher();
  ~BoxWatcher();
  BoxWatcher(const BoxWatcher&) = delete;
  BoxWatcher& operator=(const BoxWatcher&) = delete;

  std::vector<Box> boxes() const;
  void Clear();

 private:
  void Run();
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<Box> boxes_;
  std::thread thread_;
};

// A fresh folder below the system's temporary folder, deleted with all its
// contents at the end.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& path() const { return path_; }
  // path() + "\\" + relative
  std::string operator/(const std::string& relative) const;

 private:
  std::string path_;
};

// --- files
using testfiles::Bytes;
using testfiles::Exists;
using testfiles::MakeFolders;
Bytes ToBytes(const std::string& s);
// Writes a file, creating its missing folders first.
void WriteFileBytes(const std::string& path, const Bytes& content);
void WriteFileText(const std::string& path, const std::string& content);
// @return the file's bytes; an empty vector when it cannot be read
bool ReadFileBytes(const std::string& path, Bytes* content);
bool IsFolder(const std::string& path);
// Deletes a tree whatever its attributes.
void RemoveTree(const std::string& path);
// Makes `link` a folder link to `target`: a symbolic link, or under Wine,
// whose own call makes none, a link on the host's file system (which Wine
// shows as a reparse point). @return false when no link could be made.
bool MakeFolderLink(const std::string& link, const std::string& target);
// Removes a link made by MakeFolderLink, never what it leads to.
void RemoveFolderLink(const std::string& link);
// Relative paths of every file below `root`, sorted.
std::vector<std::string> ListFilesBelow(const std::string& root);
// Names of a folder's items in the system's listing order.
std::vector<std::string> ListingOrder(const std::string& folder);

// Every file (with its content) and folder (as "name\") below a folder, so
// a test can show that nothing but the expected items changed.
using Tree = std::map<std::string, std::string>;
Tree Snapshot(const std::string& root);

// --- times
uint64_t UtcTicks(int year, int month, int day, int hour, int minute,
                  int second);
uint64_t LastWriteTicks(const std::string& path);
void SetLastWriteTicks(const std::string& path, uint64_t ticks);
// Seconds since 1970 of a FILETIME.
int64_t UnixSeconds(uint64_t ticks);
// The time zone's base bias in minutes (UTC = local + bias).
int32_t BaseBiasMinutes();
// The daylight shift in seconds while daylight saving is in effect now
// (3600 for one hour), else 0.
int32_t DaylightShiftNow();

// --- archives, read and made byte by byte
struct Entry {
  std::string name;
  uint32_t method = 0;
  int32_t original_size = 0;
  uint32_t reserved = 0;
  int32_t timestamp = 0;
  int32_t data_size = 0;
};
// Appends a header entry: name, zero byte, five little-endian fields.
void AppendEntry(Bytes* out, const Entry& e);
void AppendLE32(Bytes* out, uint32_t v);
void AppendText(Bytes* out, const std::string& s);
uint32_t LoadLE32(const Bytes& b, size_t at);
// Parses the header table of an archive without product header.
// @return the entries before the terminator; *data_start gets the offset of
//         the data area. Fails the current test on malformed input.
std::vector<Entry> ParseHeader(const Bytes& archive, size_t* data_start);
constexpr uint32_t kCompressed = 0x43707273;

}  // namespace pbotest
