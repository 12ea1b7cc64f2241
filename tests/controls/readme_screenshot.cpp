// Takes pictures of the readme window as a user sees it; run it under a Wine
// virtual desktop (script/screenshots-readme) so the title bar shows.
//   readme_screenshot.exe OUTPUT_FOLDER [INSTALLER_EXE]
// With an installer, it starts it, presses its readme button and takes the
// pictures of the installer's own readme window; without one, it opens the
// readme window in this program, with the test resources.
// Writes readme-plain.png (text partway up, pointer away from the link) and
// readme-hover.png (the same frame with the pointer on the link).
#include <windows.h>

#include <string>

#include "controls/AboutScroller.h"
#include "controls/controls.h"
#include "png_file.h"
#include "readme_dialog.h"
#include "resource.h"
#include "screen.h"

namespace {

const char kReadmeCaption[] = "! --> Readme First <-- !";

std::string g_folder;
HANDLE g_installer = nullptr;  // the installer's process, if pictures are taken of it
bool g_ok = false;

template <typename Done>
bool WaitFor(Done done, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(10);
  }
  return true;
}

// The scroller's offset, read from its state record in whichever process
// owns the window (the record's address is in the window's user data).
LONG ScrollOffset(HWND scroller) {
  ScrollerState* remote = Scroller_State(scroller);
  if (!g_installer) return remote->offset;
  ScrollerState copy = {};
  ReadProcessMemory(g_installer, remote, &copy, sizeof copy, nullptr);
  return copy.offset;
}

bool Shoot(HWND dialog, const char* name) {
  Sleep(300);  // let the last frame reach the screen
  RECT r;
  GetWindowRect(dialog, &r);
  return WritePng((g_folder + "\\" + name).c_str(), CaptureScreen(r));
}

// Scrolls quickly to `offset`, then holds the text there. The worker reads
// the delay before each pause, so the hold lasts: call this once.
void ScrollAndHold(HWND scroller, LONG offset) {
  Scroller_SetDelay(scroller, 2);
  WaitFor([&] { return ScrollOffset(scroller) >= offset; }, 20000);
  Scroller_SetDelay(scroller, 3600000);
}

DWORD WINAPI Photographer(LPVOID) {
  HWND dialog = nullptr;
  if (!WaitFor([&] { return (dialog = FindWindowA("#32770", kReadmeCaption)) != nullptr; }, 20000))
    return 1;
  Sleep(500);
  HWND scroller = GetDlgItem(dialog, IDC_INFO_SCROLLER);
  HWND link = GetDlgItem(dialog, IDC_INFO_LINK);
  RECT client, l;
  GetClientRect(scroller, &client);
  GetWindowRect(link, &l);

  SetCursorPos(l.left, l.bottom + 60);
  ScrollAndHold(scroller, client.bottom * 3 / 4);
  bool plain = Shoot(dialog, "readme-plain.png");

  SetCursorPos((l.left + l.right) / 2, (l.top + l.bottom) / 2);
  PostMessageA(link, WM_MOUSEMOVE, 0, 0);
  bool hover = Shoot(dialog, "readme-hover.png");

  g_ok = plain && hover;
  PostMessageA(GetDlgItem(dialog, IDC_INFO_OK), BM_CLICK, 0, 0);
  return 0;
}

// Finds the installer's main window: the unowned one with a readme button.
BOOL CALLBACK FindMainWindow(HWND w, LPARAM found) {
  if (GetWindow(w, GW_OWNER) || !GetDlgItem(w, IDC_README)) return TRUE;
  *reinterpret_cast<HWND*>(found) = w;
  return FALSE;
}

BOOL CALLBACK PostClose(HWND w, LPARAM) {
  PostMessageA(w, WM_CLOSE, 0, 0);
  return TRUE;
}

// Starts the installer and presses its readme button.
bool OpenInstallerReadme(const char* installer, PROCESS_INFORMATION* pi) {
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  std::string command = std::string("\"") + installer + "\"";
  if (!CreateProcessA(installer, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, pi))
    return false;
  g_installer = pi->hProcess;
  WaitForInputIdle(pi->hProcess, 20000);
  HWND main = nullptr;
  WaitFor([&] {
    EnumThreadWindows(pi->dwThreadId, FindMainWindow, reinterpret_cast<LPARAM>(&main));
    return main != nullptr;
  }, 20000);
  if (!main) return false;
  PostMessageA(GetDlgItem(main, IDC_README), BM_CLICK, 0, 0);
  return true;
}

void CloseInstaller(const PROCESS_INFORMATION& pi) {
  WaitFor([&] { return FindWindowA("#32770", kReadmeCaption) == nullptr; }, 5000);
  EnumThreadWindows(pi.dwThreadId, PostClose, 0);
  if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
}

}  // namespace

int main(int argc, char** argv) {
  g_folder = argc > 1 ? argv[1] : ".";
  if (argc > 2) {
    PROCESS_INFORMATION pi = {};
    if (!OpenInstallerReadme(argv[2], &pi)) return 2;
    Photographer(nullptr);
    CloseInstaller(pi);
    return g_ok ? 0 : 1;
  }
  HINSTANCE self = GetModuleHandleA(nullptr);
  RegisterControlClasses(self);
  HANDLE photographer = CreateThread(nullptr, 0, Photographer, nullptr, 0, nullptr);
  ShowReadmeDialog(nullptr);
  WaitForSingleObject(photographer, 5000);
  CloseHandle(photographer);
  UnregisterControlClasses(self);
  return g_ok ? 0 : 1;
}
