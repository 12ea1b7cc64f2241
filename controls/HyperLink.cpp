#include "HyperLink.h"

#include <shellapi.h>

namespace {

HFONT linkPlainFont = nullptr;
HFONT linkUnderlinedFont = nullptr;
COLORREF linkNormalColor = kLinkNormalColor;
COLORREF linkHoverColor = kLinkHoverColor;
HCURSOR linkCursor = nullptr;

constexpr int kLinkPointSize = 8;
constexpr int kLinkWeight = FW_NORMAL;
constexpr int kLabelBuffer = 1024;

// Replaces a class-wide font. The old one is not selected anywhere: every
// paint takes its device context afresh and releases it.
void ReplaceFont(HFONT* slot, HFONT font) {
  if (*slot) DeleteObject(*slot);
  *slot = font;
}

LRESULT OnCreate(HWND hwnd, WPARAM wp, LPARAM lp) {
  LRESULT result = DefWindowProcA(hwnd, WM_CREATE, wp, lp);
  linkCursor = LoadCursorA(GetModuleHandleA(nullptr), LINK_CURSOR_NAME);
  HDC dc = GetWindowDC(hwnd);
  ReplaceFont(&linkPlainFont, CreateLinkFont(dc, kLinkPointSize, kLinkWeight, false));
  ReplaceFont(&linkUnderlinedFont, CreateLinkFont(dc, kLinkPointSize, kLinkWeight, true));
  ReleaseDC(hwnd, dc);
  linkNormalColor = kLinkNormalColor;
  linkHoverColor = kLinkHoverColor;
  // The pointer may already rest on the new control.
  SendMessageA(hwnd, WM_CAPTURECHANGED, 0, 0);
  return result;
}

// WM_PAINT carries the colour in wParam; lParam -1 asks for an immediate
// paint outside the paint cycle. The system's own WM_PAINT has wParam 0,
// black, so a system repaint always shows the plain look.
LRESULT OnPaint(HWND hwnd, WPARAM wp, LPARAM lp) {
  COLORREF color = static_cast<COLORREF>(wp);
  if (lp == -1) {
    HDC dc = GetWindowDC(hwnd);
    PaintLink(hwnd, dc, color);
    ReleaseDC(hwnd, dc);
  } else {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    PaintLink(hwnd, dc, color);
    EndPaint(hwnd, &ps);
  }
  return 0;
}

// Inside the window rectangle (right and bottom edges outside): take the
// capture, so the exit is seen as the first move outside, and show the hover
// look. Outside: release the capture and show the plain look.
LRESULT HoverTest(HWND hwnd) {
  POINT pt;
  RECT rect;
  GetCursorPos(&pt);
  GetWindowRect(hwnd, &rect);
  if (PtInRect(&rect, pt)) {
    if (GetCapture() == hwnd) return 0;
    SetCapture(hwnd);
    SetCursor(linkCursor);
    Link_PaintNow(hwnd, linkHoverColor);
  } else {
    ReleaseCapture();
    Link_PaintNow(hwnd, linkNormalColor);
  }
  return 0;
}

LRESULT OpenTarget(HWND hwnd) {
  const char* target = static_cast<const char*>(GetPropA(hwnd, LINK_TARGET_PROP));
  if (target) ShellExecuteA(nullptr, "open", target, "", "", SW_SHOWNORMAL);
  return 0;
}

LRESULT CALLBACK HyperLinkProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE: return OnCreate(hwnd, wp, lp);
    case WM_PAINT: return OnPaint(hwnd, wp, lp);
    case WM_MOUSEMOVE:
    case WM_CAPTURECHANGED: return HoverTest(hwnd);
    case WM_LBUTTONUP:
    case WM_RBUTTONUP: return OpenTarget(hwnd);
    case WM_DESTROY:
      RemovePropA(hwnd, LINK_TARGET_PROP);
      return DefWindowProcA(hwnd, msg, wp, lp);
    default: return DefWindowProcA(hwnd, msg, wp, lp);
  }
}

}  // namespace

HFONT CreateLinkFont(HDC dc, int pointSize, int weight, bool underline) {
  // Negative height: the character height, without internal leading.
  int height = -MulDiv(pointSize, GetDeviceCaps(dc, LOGPIXELSY), 72);
  return CreateFontA(height, 0, 0, 0, weight, FALSE, underline ? 0xFFFFFFFFu : 0u, FALSE,
                     ANSI_CHARSET, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, PROOF_QUALITY,
                     FF_MODERN | FIXED_PITCH, "MS Sans Serif");
}

void PaintLink(HWND link, HDC dc, COLORREF color) {
  RECT client;
  GetClientRect(link, &client);
  HFONT font = color == linkNormalColor ? linkPlainFont : linkUnderlinedFont;
  if (font) SelectObject(dc, font);
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, color);

  char label[kLabelBuffer];
  int length = static_cast<int>(
      SendMessageA(link, WM_GETTEXT, kLabelBuffer, reinterpret_cast<LPARAM>(label)));
  if (length < 0 || length >= kLabelBuffer) length = 0;
  SIZE extent = {0, 0};
  GetTextExtentPoint32A(dc, label, length, &extent);
  RECT window;
  GetWindowRect(link, &window);
  int width = window.right - window.left;
  TextOutA(dc, width / 2 - extent.cx / 2, 0, label, length);
}

BOOL SetLinkTarget(HWND link, const char* target) {
  return SetPropA(link, LINK_TARGET_PROP, const_cast<char*>(target));
}

void RegisterHyperLink(HINSTANCE instance) {
  WNDCLASSEXA wc;
  ZeroMemory(&wc, sizeof wc);
  wc.cbSize = sizeof wc;
  wc.style = CS_VREDRAW | CS_HREDRAW | CS_GLOBALCLASS;
  wc.lpfnWndProc = HyperLinkProc;
  wc.hInstance = instance;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1));
  wc.lpszClassName = HYPERLINK_CLASS;
  RegisterClassExA(&wc);
}

void ReleaseLinkFonts() {
  ReplaceFont(&linkPlainFont, nullptr);
  ReplaceFont(&linkUnderlinedFont, nullptr);
}
