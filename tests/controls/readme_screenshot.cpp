// Takes pictures of the readme window as a user sees it: run under a Wine
// virtual desktop (script/screenshots-readme) so the title bar shows.
//   readme_screenshot.exe OUTPUT_FOLDER
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

std::string g_folder;
bool g_ok = false;

bool WaitFor(bool (*done)(HWND), HWND w, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (!done(w)) {
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(10);
  }
  return true;
}

HWND g_dialog = nullptr;
LONG g_target = 0;

bool ReachedTarget(HWND scroller) { return Scroller_State(scroller)->offset >= g_target; }

bool Shoot(HWND dialog, const char* name) {
  Sleep(300);  // let the last frame reach the screen
  RECT r;
  GetWindowRect(dialog, &r);
  return WritePng((g_folder + "\\" + name).c_str(), CaptureScreen(r));
}

// Scrolls quickly to `offset`, then holds the text there. The worker reads
// the delay before each pause, so the hold lasts: call this once.
void ScrollAndHold(HWND scroller, LONG offset) {
  g_target = offset;
  Scroller_SetDelay(scroller, 2);
  WaitFor(ReachedTarget, scroller, 20000);
  Scroller_SetDelay(scroller, 3600000);
}

DWORD WINAPI Photographer(LPVOID) {
  DWORD start = GetTickCount();
  while (!(g_dialog = FindWindowA("#32770", "! --> Readme First <-- !"))) {
    if (GetTickCount() - start > 15000) return 1;
    Sleep(20);
  }
  Sleep(500);
  HWND scroller = GetDlgItem(g_dialog, IDC_INFO_SCROLLER);
  HWND link = GetDlgItem(g_dialog, IDC_INFO_LINK);
  RECT client;
  GetClientRect(scroller, &client);

  RECT l;
  GetWindowRect(link, &l);
  SetCursorPos(l.left, l.bottom + 60);
  ScrollAndHold(scroller, client.bottom * 3 / 4);
  bool plain = Shoot(g_dialog, "readme-plain.png");

  SetCursorPos((l.left + l.right) / 2, (l.top + l.bottom) / 2);
  PostMessageA(link, WM_MOUSEMOVE, 0, 0);
  bool hover = Shoot(g_dialog, "readme-hover.png");

  g_ok = hover && plain;
  PostMessageA(GetDlgItem(g_dialog, IDC_INFO_OK), BM_CLICK, 0, 0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  g_folder = argc > 1 ? argv[1] : ".";
  HINSTANCE self = GetModuleHandleA(nullptr);
  RegisterControlClasses(self);
  HANDLE photographer = CreateThread(nullptr, 0, Photographer, nullptr, 0, nullptr);
  ShowReadmeDialog(nullptr);
  WaitForSingleObject(photographer, 5000);
  CloseHandle(photographer);
  UnregisterControlClasses(self);
  return g_ok ? 0 : 1;
}
