#include "driver.h"

#include <cstdlib>
#include <cstring>

#include "fixture.h"

namespace fixture {

namespace {

// Filename controls of the two styles of file dialog.
constexpr int kFileNameCombo = 0x47c;
constexpr int kFileNameEdit = 0x480;

std::string ClassOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof(name));
  return name;
}

std::string TitleOf(HWND window) {
  char text[512] = {};
  GetWindowTextA(window, text, sizeof(text));
  return text;
}

// The current environment with TMP, TEMP and INSTALLER_EVENT_LOG replaced
// and the `extra` items added.
std::string Environment(const std::string& temp, const std::string& log,
                        const std::vector<std::string>& extra) {
  std::string block;
  char* strings = GetEnvironmentStringsA();
  for (const char* at = strings; *at != '\0'; at += std::strlen(at) + 1) {
    if (_strnicmp(at, "TMP=", 4) == 0 || _strnicmp(at, "TEMP=", 5) == 0 ||
        _strnicmp(at, "INSTALLER_EVENT_LOG=", 20) == 0) {
      continue;
    }
    block += at;
    block += '\0';
  }
  FreeEnvironmentStringsA(strings);
  std::vector<std::string> items = {"TMP=" + temp, "TEMP=" + temp, "INSTALLER_EVENT_LOG=" + log};
  items.insert(items.end(), extra.begin(), extra.end());
  for (const std::string& item : items) {
    block += item;
    block += '\0';
  }
  block += '\0';
  return block;
}

void Pump() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

}  // namespace

InstallerDriver::InstallerDriver(const std::string& exe, const std::string& temp,
                                 const std::string& log)
    : exe_(exe), temp_(temp), log_(log) {}

InstallerDriver::~InstallerDriver() {
  if (process_.hProcess != nullptr) {
    if (WaitForSingleObject(process_.hProcess, 0) != WAIT_OBJECT_0) {
      TerminateProcess(process_.hProcess, 1);
      WaitForSingleObject(process_.hProcess, 10000);
    }
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
  }
  if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
  if (hook_module_ != nullptr) FreeLibrary(hook_module_);
}

bool InstallerDriver::Start() {
  hook_module_ = LoadLibraryA(FromHost(EVENT_HOOK_DLL).c_str());
  if (hook_module_ == nullptr) return false;
  auto proc = reinterpret_cast<HOOKPROC>(
      reinterpret_cast<void*>(GetProcAddress(hook_module_, "CallWndRetProc")));
  if (proc == nullptr) return false;

  std::string environment = Environment(temp_, log_, extra_);
  std::string command = "\"" + exe_ + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  if (!CreateProcessA(exe_.c_str(), &command[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                      &environment[0], nullptr, &startup, &process_)) {
    return false;
  }
  hook_ = SetWindowsHookExA(WH_CALLWNDPROCRET, proc, hook_module_, process_.dwThreadId);
  ResumeThread(process_.hThread);
  if (hook_ == nullptr) return false;

  for (int i = 0; i < 600 && main_ == nullptr; ++i) {
    main_ = FindTopLevel([](HWND w) { return TitleOf(w) == "Vostrel Nature Replacement Pack"; });
    if (main_ == nullptr) Sleep(100);
  }
  return main_ != nullptr;
}

void InstallerDriver::Press(int id) {
  PostMessageA(main_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(main_, id)));
}

namespace {

struct WindowSearch {
  DWORD pid;
  const std::function<bool(HWND)>* match;
  HWND found;
};

BOOL CALLBACK OnTopLevel(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<WindowSearch*>(data);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == search->pid && IsWindowVisible(window) && (*search->match)(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

HWND InstallerDriver::FindTopLevel(const std::function<bool(HWND)>& match) const {
  WindowSearch search = {process_.dwProcessId, &match, nullptr};
  EnumWindows(&OnTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND InstallerDriver::WindowTitled(const std::string& title) const {
  return FindTopLevel([&](HWND w) { return TitleOf(w) == title; });
}

HWND InstallerDriver::FileDialog() const {
  return FindTopLevel([this](HWND w) {
    return w != main_ && ClassOf(w) == "#32770" &&
           (GetDlgItem(w, kFileNameCombo) != nullptr || GetDlgItem(w, kFileNameEdit) != nullptr);
  });
}

HWND InstallerDriver::MessageBoxWindow() const {
  return FindTopLevel([this](HWND w) {
    return w != main_ && ClassOf(w) == "#32770" && GetDlgItem(w, kFileNameCombo) == nullptr &&
           GetDlgItem(w, kFileNameEdit) == nullptr && TitleOf(w).rfind("Error", 0) == 0;
  });
}

bool InstallerDriver::AnswerFileDialog(const std::string& path) {
  HWND dialog = nullptr;
  for (int i = 0; i < 600 && dialog == nullptr; ++i) {
    dialog = FileDialog();
    if (dialog == nullptr) Sleep(100);
  }
  if (dialog == nullptr) return false;
  Sleep(300);  // let the dialog finish filling its list
  if (path.empty()) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return true;
  }
  HWND name = GetDlgItem(dialog, kFileNameCombo);
  if (name == nullptr) name = GetDlgItem(dialog, kFileNameEdit);
  SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
  return true;
}

std::vector<std::string> InstallerDriver::Events() const {
  std::vector<std::string> lines;
  Bytes data;
  if (!ReadWhole(log_, &data)) return lines;
  std::string text(data.begin(), data.end());
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) break;  // a line still being written
    lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return lines;
}

bool InstallerDriver::RunUntil(const std::string& line,
                               const std::function<void()>& on_file_dialog, int nth,
                               DWORD timeout_ms) {
  const DWORD start = GetTickCount();
  HWND answered = nullptr;
  while (GetTickCount() - start < timeout_ms) {
    Pump();
    int seen = 0;
    for (const std::string& event : Events()) {
      if (event == line && ++seen == nth) return true;
    }
    if (HWND box = MessageBoxWindow()) {
      PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
      Sleep(200);
      continue;
    }
    HWND dialog = FileDialog();
    if (dialog != nullptr && dialog != answered) {
      answered = dialog;
      on_file_dialog();
    }
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0) return false;
    Sleep(50);
  }
  return false;
}

bool InstallerDriver::WaitForProgress(const std::string& status, int low, int high,
                                      DWORD timeout_ms) {
  // Texts of another process's windows are read from the system's copy,
  // without waiting for the installer's thread.
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < timeout_ms) {
    if (TitleOf(GetDlgItem(main_, 103)) == status) {
      const int percent = std::atoi(TitleOf(GetDlgItem(main_, 104)).c_str());
      if (percent >= low && percent <= high) return true;
    }
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0) return false;
  }
  return false;
}

int InstallerDriver::Close() {
  PostMessageA(main_, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process_.hProcess, 30000) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(process_.hProcess, &code);
  return static_cast<int>(code);
}

}  // namespace fixture
