#include "harness.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <type_traits>

namespace pbotest {

// ---------------------------------------------------------------- Library

// The header's typedefs are the exact types of the functions it declares.
static_assert(std::is_same<decltype(&_PackPbo), PFN_PackPbo>::value, "");
static_assert(std::is_same<decltype(&_CompressPbo), PFN_CompressPbo>::value, "");
static_assert(std::is_same<decltype(&_DecompressPbo), PFN_DecompressPbo>::value, "");
static_assert(std::is_same<decltype(&_GetInfoDll), PFN_GetInfoDll>::value, "");

Library::Library() {
  module_ = LoadLibraryA("pbokit.dll");
  if (module_ == nullptr) {
    ADD_FAILURE() << "LoadLibraryA(\"pbokit.dll\") failed: " << GetLastError();
    return;
  }
  pack = reinterpret_cast<PFN_PackPbo>(
      reinterpret_cast<void*>(GetProcAddress(module_, "_PackPbo")));
  compress = reinterpret_cast<PFN_CompressPbo>(
      reinterpret_cast<void*>(GetProcAddress(module_, "_CompressPbo")));
  decompress = reinterpret_cast<PFN_DecompressPbo>(
      reinterpret_cast<void*>(GetProcAddress(module_, "_DecompressPbo")));
  info = reinterpret_cast<PFN_GetInfoDll>(
      reinterpret_cast<void*>(GetProcAddress(module_, "_GetInfoDll")));
  EXPECT_TRUE(pack && compress && decompress && info);
}

Library::~Library() {
  if (module_ != nullptr) FreeLibrary(module_);
}

std::string Library::file_path() const {
  char buffer[MAX_PATH];
  const DWORD n = GetModuleFileNameA(module_, buffer, MAX_PATH);
  return std::string(buffer, n);
}

// ---------------------------------------------------------------- Windows

namespace {

std::vector<Event> g_events;
const char kRecorderClass[] = "PbokitTestRecorder";

LRESULT CALLBACK RecorderProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case PBM_SETRANGE:
    case PBM_SETPOS:
    case kMarker:
      g_events.push_back({hwnd, msg, wp, lp, {}});
      return 0;
    case WM_SETTEXT:
      g_events.push_back(
          {hwnd, msg, wp, lp, lp ? reinterpret_cast<const char*>(lp) : ""});
      break;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

void RegisterRecorder() {
  static const bool registered = [] {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = RecorderProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kRecorderClass;
    return RegisterClassA(&wc) != 0;
  }();
  EXPECT_TRUE(registered);
}

HWND MakeRecorder(const char* title) {
  return CreateWindowA(kRecorderClass, title, WS_OVERLAPPED, 0, 0, 100, 30,
                       nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

}  // namespace

Windows::Windows() {
  RegisterRecorder();
  owner = MakeRecorder("owner");
  bar = MakeRecorder("bar");
  label = MakeRecorder("label");
  EXPECT_TRUE(owner && bar && label);
  g_events.clear();
}

Windows::~Windows() {
  DestroyWindow(label);
  DestroyWindow(bar);
  DestroyWindow(owner);
  g_events.clear();
}

const std::vector<Event>& Windows::events() const { return g_events; }
void Windows::Clear() { g_events.clear(); }

std::vector<std::string> Windows::Trace() const {
  std::vector<std::string> out;
  for (const Event& e : g_events) {
    switch (e.message) {
      case PBM_SETRANGE:
        out.push_back("range " + std::to_string(LOWORD(e.lparam)) + ".." +
                      std::to_string(HIWORD(e.lparam)) +
                      (e.wparam ? " wparam!" : ""));
        break;
      case PBM_SETPOS:
        out.push_back("pos " + std::to_string(e.wparam) +
                      (e.lparam ? " lparam!" : ""));
        break;
      case WM_SETTEXT:
        out.push_back("text " + e.text + (e.wparam ? " wparam!" : ""));
        break;
      default:
        out.push_back("marker " + std::to_string(e.wparam));
    }
    // Progress belongs to the bar and texts to the label, never the owner.
    const bool to_bar = e.message == PBM_SETRANGE || e.message == PBM_SETPOS;
    const HWND want = e.message == kMarker ? e.window : to_bar ? bar : label;
    if (e.window != want) out.back() += " (wrong window)";
  }
  return out;
}

// ---------------------------------------------------------------- BoxWatcher

BoxWatcher::BoxWatcher() : thread_([this] { Run(); }) {}

BoxWatcher::~BoxWatcher() {
  stop_ = true;
  thread_.join();
}

std::vector<Box> BoxWatcher::boxes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return boxes_;
}

void BoxWatcher::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  boxes_.clear();
}

void BoxWatcher::Run() {
  const DWORD self = GetCurrentProcessId();
  while (!stop_) {
    HWND box = nullptr;
    while ((box = FindWindowExA(nullptr, box, "#32770", nullptr)) != nullptr) {
      DWORD pid = 0;
      GetWindowThreadProcessId(box, &pid);
      if (pid != self || !IsWindowVisible(box)) continue;
      char caption[512] = {};
      char text[8192] = {};
      GetWindowTextA(box, caption, sizeof caption);
      GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        boxes_.push_back({caption, text, GetWindow(box, GW_OWNER)});
      }
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      // Wait for it to go so it is not counted twice.
      for (int i = 0; i < 500 && IsWindow(box); ++i) Sleep(10);
      break;
    }
    Sleep(10);
  }
}

// ---------------------------------------------------------------- folders

ScratchFolder::ScratchFolder() : path_(testfiles::NewTempFolderPath("pbokit_dll_")) {
  RemoveTree(path_);
  MakeFolders(path_);
}

ScratchFolder::~ScratchFolder() { RemoveTree(path_); }

std::string ScratchFolder::operator/(const std::string& relative) const {
  return path_ + "\\" + relative;
}

Bytes ToBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

void WriteFileBytes(const std::string& path, const Bytes& content) {
  const size_t slash = path.rfind('\\');
  if (slash != std::string::npos) MakeFolders(path.substr(0, slash));
  ASSERT_TRUE(testfiles::WriteWhole(path, content)) << path;
}

void WriteFileText(const std::string& path, const std::string& content) {
  WriteFileBytes(path, ToBytes(content));
}

bool ReadFileBytes(const std::string& path, Bytes* content) {
  return testfiles::ReadWhole(path, content);
}

bool IsFolder(const std::string& path) {
  const DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

void RemoveTree(const std::string& path) { testfiles::DeleteTree(path, RemoveFolderLink); }

namespace {

// The host's name of a path under Wine; empty elsewhere.
std::string HostPath(const std::string& path) {
  using UnixName = char*(CDECL*)(const wchar_t*);
  const auto unix_name = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (unix_name == nullptr) return {};
  const std::wstring wide(path.begin(), path.end());  // ASCII test paths
  const char* name = unix_name(wide.c_str());
  return name ? std::string(name) : std::string();
}

// Runs one of the host's programs under Wine and waits for it.
bool RunHost(const char* program, std::string command) {
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi;
  if (!CreateProcessA(program, &command[0], nullptr, nullptr, FALSE, 0,
                      nullptr, nullptr, &si, &pi)) {
    return false;
  }
  WaitForSingleObject(pi.hProcess, 10000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
}

}  // namespace

bool MakeFolderLink(const std::string& link, const std::string& target) {
  if (CreateSymbolicLinkA(link.c_str(), target.c_str(),
                          SYMBOLIC_LINK_FLAG_DIRECTORY) &&
      IsFolder(link)) {
    return true;
  }
  const std::string host_link = HostPath(link), host_target = HostPath(target);
  if (host_link.empty() ||
      !RunHost("Z:\\bin\\ln", "/bin/ln -s \"" + host_target + "\" \"" +
                                     host_link + "\"")) {
    return false;
  }
  // The host's program may still be running when its handle signals.
  for (int i = 0; i < 500 && !Exists(link); ++i) Sleep(10);
  const DWORD a = GetFileAttributesA(link.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) &&
         (a & FILE_ATTRIBUTE_REPARSE_POINT);
}

void RemoveFolderLink(const std::string& link) {
  // Wine follows links when it removes folders, so there the host removes
  // the link; on Windows the link goes as a folder.
  const std::string host_link = HostPath(link);
  if (host_link.empty()) {
    RemoveDirectoryA(link.c_str());
    return;
  }
  RunHost("Z:\\bin\\rm", "/bin/rm -f \"" + host_link + "\"");
  for (int i = 0; i < 500 && Exists(link); ++i) Sleep(10);
}

namespace {
void CollectFiles(const std::string& root, const std::string& prefix,
                  std::vector<std::string>* out) {
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((root + "\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      CollectFiles(root + "\\" + name, prefix + name + "\\", out);
    } else {
      out->push_back(prefix + name);
    }
  } while (FindNextFileA(find, &found));
  FindClose(find);
}
}  // namespace

std::vector<std::string> ListFilesBelow(const std::string& root) {
  std::vector<std::string> out;
  CollectFiles(root, "", &out);
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<std::string> ListingOrder(const std::string& folder) {
  std::vector<std::string> out;
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((folder + "\\*.*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return out;
  do {
    const std::string name = found.cFileName;
    if (name != "." && name != "..") out.push_back(name);
  } while (FindNextFileA(find, &found));
  FindClose(find);
  return out;
}

// ---------------------------------------------------------------- times

uint64_t UtcTicks(int year, int month, int day, int hour, int minute,
                  int second) {
  SYSTEMTIME st = {};
  st.wYear = static_cast<WORD>(year);
  st.wMonth = static_cast<WORD>(month);
  st.wDay = static_cast<WORD>(day);
  st.wHour = static_cast<WORD>(hour);
  st.wMinute = static_cast<WORD>(minute);
  st.wSecond = static_cast<WORD>(second);
  FILETIME ft;
  EXPECT_TRUE(SystemTimeToFileTime(&st, &ft));
  return (uint64_t{ft.dwHighDateTime} << 32) | ft.dwLowDateTime;
}

uint64_t LastWriteTicks(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
    ADD_FAILURE() << "no attributes for " << path;
    return 0;
  }
  return (uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
         data.ftLastWriteTime.dwLowDateTime;
}

void SetLastWriteTicks(const std::string& path, uint64_t ticks) {
  HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(ticks);
  ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  const BOOL ok = SetFileTime(h, nullptr, nullptr, &ft);
  CloseHandle(h);
  ASSERT_TRUE(ok);
}

int64_t UnixSeconds(uint64_t ticks) {
  return static_cast<int64_t>(ticks / 10000000) - 11644473600LL;
}

int32_t BaseBiasMinutes() {
  TIME_ZONE_INFORMATION zone;
  GetTimeZoneInformation(&zone);
  return zone.Bias;
}

int32_t DaylightShiftNow() {
  TIME_ZONE_INFORMATION zone;
  if (GetTimeZoneInformation(&zone) != TIME_ZONE_ID_DAYLIGHT) return 0;
  return -zone.DaylightBias * 60;
}

// ---------------------------------------------------------------- archives

void AppendLE32(Bytes* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void AppendText(Bytes* out, const std::string& s) {
  out->insert(out->end(), s.begin(), s.end());
}

void AppendEntry(Bytes* out, const Entry& e) {
  AppendText(out, e.name);
  out->push_back(0);
  AppendLE32(out, e.method);
  AppendLE32(out, static_cast<uint32_t>(e.original_size));
  AppendLE32(out, e.reserved);
  AppendLE32(out, static_cast<uint32_t>(e.timestamp));
  AppendLE32(out, static_cast<uint32_t>(e.data_size));
}

uint32_t LoadLE32(const Bytes& b, size_t at) {
  return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 |
         uint32_t{b[at + 3]} << 24;
}

std::vector<Entry> ParseHeader(const Bytes& archive, size_t* data_start) {
  std::vector<Entry> entries;
  size_t at = 0;
  for (;;) {
    Entry e;
    while (at < archive.size() && archive[at] != 0) {
      e.name.push_back(static_cast<char>(archive[at++]));
    }
    if (at + 21 > archive.size()) {
      ADD_FAILURE() << "header table cut off at " << at;
      break;
    }
    ++at;
    e.method = LoadLE32(archive, at);
    e.original_size = static_cast<int32_t>(LoadLE32(archive, at + 4));
    e.reserved = LoadLE32(archive, at + 8);
    e.timestamp = static_cast<int32_t>(LoadLE32(archive, at + 12));
    e.data_size = static_cast<int32_t>(LoadLE32(archive, at + 16));
    at += 20;
    if (e.name.empty()) break;
    entries.push_back(e);
  }
  *data_start = at;
  return entries;
}

namespace {

void CollectTree(const std::string& root, const std::string& prefix, Tree* out) {
  for (const std::string& name : ListingOrder(root)) {
    const std::string full = root + "\\" + name;
    if (IsFolder(full)) {
      (*out)[prefix + name + "\\"] = "";
      CollectTree(full, prefix + name + "\\", out);
    } else {
      Bytes b;
      ReadFileBytes(full, &b);
      (*out)[prefix + name] = std::string(b.begin(), b.end());
    }
  }
}

}  // namespace

Tree Snapshot(const std::string& root) {
  Tree t;
  CollectTree(root, "", &t);
  return t;
}

}  // namespace pbotest
