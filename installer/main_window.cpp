#include "main_window.h"

#include "installation.h"
#include "readme_dialog.h"
#include "resource.h"

namespace {

void OnInitDialog(HWND window) {
  HICON icon = LoadIconA(GetModuleHandleA(nullptr), "MAINICON");
  SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  SetControlText(GetDlgItem(window, IDC_STATUS), "Status: Idle");
  // Status and percentage show greyed while no installation runs.
  EnableControl(window, IDC_STATUS, FALSE);
  EnableControl(window, IDC_PERCENT, FALSE);
}

void OnCommand(HWND window, int id) {
  switch (id) {
    case IDC_README:
      ShowReadmeDialog(window);
      break;
    case IDC_INSTALL:
      RunInstallation(window);
      break;
    default:
      // Escape (2) and Enter (1) land here: there is no default button and
      // the window does not close on them.
      break;
  }
}

}  // namespace

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog(window);
      break;
    case WM_CLOSE:
    case WM_DESTROY:
      // The modal loop ends when it takes the quit message from the queue.
      PostQuitMessage(0);
      break;
    case WM_COMMAND:
      OnCommand(window, LOWORD(wparam));
      break;
    default:
      break;
  }
  return 0;
}

void SetControlText(HWND control, const char* text) {
  SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void EnableControl(HWND dialog, int id, BOOL enable) {
  EnableWindow(GetDlgItem(dialog, id), enable ? TRUE : FALSE);
}
