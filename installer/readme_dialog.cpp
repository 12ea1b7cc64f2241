#include "readme_dialog.h"

#include <string>

#include "controls/AboutScroller.h"
#include "controls/HyperLink.h"
#include "payload.h"
#include "resource.h"

namespace {

// The link's target; the control keeps this address, not a copy.
const char kLinkTarget[] = INFO_LINK_ADDRESS;

constexpr COLORREF kReadmeTextColor = RGB(0, 255, 0);
constexpr COLORREF kReadmeBackColor = RGB(0, 0, 0);

void OnInitDialog(HWND dialog) {
  HMODULE module = GetModuleHandleA(nullptr);
  SendMessageA(dialog, WM_SETICON, ICON_BIG,
               reinterpret_cast<LPARAM>(LoadIconA(module, "MAINICON")));
  Scroller_SetColors(GetDlgItem(dialog, IDC_INFO_SCROLLER), kReadmeTextColor, kReadmeBackColor);
  // A missing readme leaves the text empty; the scroller then steps through
  // its empty bands.
  std::string text;
  LoadResourceText(module, MAKEINTRESOURCEA(IDR_README), "BINRES", &text);
  SetDlgItemTextA(dialog, IDC_INFO_SCROLLER, text.c_str());
  SetLinkTarget(GetDlgItem(dialog, IDC_INFO_LINK), kLinkTarget);
}

}  // namespace

INT_PTR CALLBACK ReadmeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog(dialog);
      break;
    case WM_COMMAND:
      // Only "OK"; Escape's IDCANCEL is ignored on purpose.
      if (LOWORD(wParam) == IDC_INFO_OK) EndDialog(dialog, 0);
      break;
    case WM_CLOSE:
    case WM_DESTROY:
      EndDialog(dialog, 0);
      break;
    default:
      break;
  }
  return 0;
}

void ShowReadmeDialog(HWND owner) {
  DialogBoxParamA(GetModuleHandleA(nullptr), "INFO_WINDOW", owner, ReadmeDialogProc, 0);
}
