#include "AboutScroller.h"

#include <stdlib.h>

namespace {

// The one record behind every window of the class.
ScrollerState g_state = {nullptr, 0, 0, 0, kScrollerDefaultDelay, nullptr, nullptr, 0, nullptr};

// Ends the current worker by force and frees the text buffer. The worker may
// be blocked in its synchronous tick to the window; it holds nothing that
// needs cleaning up, so it is not waited for.
void StopWorker(ScrollerState* s) {
  if (s->thread) {
    TerminateThread(s->thread, 0);
    CloseHandle(s->thread);
    s->thread = nullptr;
    s->threadId = 0;
  }
  if (s->text) {
    free(s->text);
    s->text = nullptr;
  }
}

LRESULT OnCreate(HWND hwnd) {
  ScrollerState* s = &g_state;
  // A second window takes the record over; the earlier window's worker must
  // not keep ticking the new window, so it is stopped first.
  StopWorker(s);
  SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(s));
  InterlockedExchange(&s->offset, 0);
  s->window = hwnd;
  // Zeroed so a window painted before its first WM_SETTEXT shows no text.
  s->text = static_cast<char*>(calloc(kScrollerTextMax + 1, 1));
  s->thread = CreateThread(nullptr, 0, ScrollerThread, s, 0, &s->threadId);
  Scroller_SetColors(hwnd, GetSysColor(COLOR_BTNTEXT), GetSysColor(COLOR_BTNFACE));
  return 0;
}

LRESULT OnDestroy(HWND hwnd, ScrollerState* s) {
  // Only the window that currently owns the record may stop its worker.
  if (s->window == hwnd) {
    StopWorker(s);
    s->window = nullptr;
  }
  return 0;
}

LRESULT OnSetText(HWND hwnd, ScrollerState* s, WPARAM wp, LPARAM lp) {
  if (s->text) {
    ZeroMemory(s->text, kScrollerTextMax + 1);
    const char* src = reinterpret_cast<const char*>(lp);
    if (src) lstrcpynA(s->text, src, kScrollerTextMax + 1);
  }
  return DefWindowProcA(hwnd, WM_SETTEXT, wp, lp);
}

// Renders the whole text into an offscreen image of W x (T + 2H): an empty
// band of one client height, the word-wrapped text of height T, another empty
// band. The client area shows the H rows that start at `offset`.
void OnPaint(HWND hwnd, ScrollerState* s) {
  RECT client;
  GetClientRect(hwnd, &client);
  const int w = client.right - client.left;
  const int h = client.bottom - client.top;
  RECT r = client;

  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  HDC mem = CreateCompatibleDC(dc);
  HBITMAP probe = CreateCompatibleBitmap(dc, w, h);
  HGDIOBJ oldBitmap = SelectObject(mem, probe);
  if (s->font) SelectObject(mem, s->font);

  const char* text = s->text ? s->text : "";
  DrawTextA(mem, text, -1, &r, DT_CENTER | DT_WORDBREAK | DT_CALCRECT | DT_NOPREFIX);
  const int textHeight = r.bottom - r.top;
  r.left = client.left;
  r.right = client.right;
  r.bottom = r.top + textHeight + 2 * h;
  const int imageHeight = textHeight + 2 * h;

  SelectObject(mem, oldBitmap);
  DeleteObject(probe);
  HBITMAP image = CreateCompatibleBitmap(dc, w, imageHeight);
  oldBitmap = SelectObject(mem, image);

  r.top += h;
  if (s->font) SelectObject(mem, s->font);
  SetBkMode(mem, TRANSPARENT);
  HBRUSH brush = CreateSolidBrush(s->backColor);
  HGDIOBJ oldBrush = SelectObject(mem, brush);
  PatBlt(mem, 0, 0, w, imageHeight, PATCOPY);

  SetTextColor(mem, s->textColor);
  DrawTextA(mem, text, -1, &r, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);

  // Past the lower empty band: start again with the upper one.
  if (r.bottom - r.top < s->offset) InterlockedExchange(&s->offset, 0);
  BitBlt(dc, client.left, client.top, w, h, mem, client.left, s->offset, SRCCOPY);

  SelectObject(mem, oldBrush);
  DeleteObject(brush);
  SelectObject(mem, oldBitmap);
  DeleteObject(image);
  DeleteDC(mem);
  EndPaint(hwnd, &ps);
}

LRESULT OnSetFont(HWND hwnd, ScrollerState* s, WPARAM wp, LPARAM lp) {
  s->font = reinterpret_cast<HFONT>(wp);
  if (lp) InvalidateRect(hwnd, nullptr, TRUE);
  return 0;
}

LRESULT CALLBACK AboutScrollerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_CREATE) return OnCreate(hwnd);
  ScrollerState* s = Scroller_State(hwnd);
  // Messages before WM_CREATE (the non-client creation) find no state yet.
  if (!s) return DefWindowProcA(hwnd, msg, wp, lp);
  switch (msg) {
    case WM_DESTROY: return OnDestroy(hwnd, s);
    case WM_SETTEXT: return OnSetText(hwnd, s, wp, lp);
    case WM_PAINT: OnPaint(hwnd, s); return 0;
    case WM_ERASEBKGND: return 1;  // the paint covers every pixel
    case WM_SETFONT: return OnSetFont(hwnd, s, wp, lp);
    case WM_GETFONT: return reinterpret_cast<LRESULT>(s->font);
    case WM_NCHITTEST: return HTTRANSPARENT;
    case WM_TIMER: return 1;
    case SCM_GETTEXTCOLOR: return s->textColor;
    case SCM_GETBKCOLOR: return s->backColor;
    case SCM_SETCOLORS:
      s->textColor = static_cast<COLORREF>(wp);
      s->backColor = static_cast<COLORREF>(lp);
      return 0;
    case SCM_SETDELAY: InterlockedExchange(&s->delay, static_cast<LONG>(wp)); return 0;
    case SCM_TICK: InvalidateRect(hwnd, nullptr, TRUE); return 0;
    default: return DefWindowProcA(hwnd, msg, wp, lp);
  }
}

}  // namespace

DWORD WINAPI ScrollerThread(LPVOID param) {
  ScrollerState* s = static_cast<ScrollerState*>(param);
  for (;;) {
    InterlockedIncrement(&s->offset);
    SendMessageA(s->window, SCM_TICK, 0, 0);
    Sleep(static_cast<DWORD>(s->delay));
  }
}

void RegisterAboutScroller() {
  WNDCLASSEXA wc;
  ZeroMemory(&wc, sizeof wc);
  wc.cbSize = sizeof wc;
  GetClassInfoExA(nullptr, "STATIC", &wc);
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = AboutScrollerProc;
  wc.cbWndExtra = 0;
  wc.hInstance = nullptr;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszMenuName = nullptr;
  wc.lpszClassName = ABOUT_SCROLLER_CLASS;
  RegisterClassExA(&wc);
}

void UnregisterAboutScroller() { UnregisterClassA(ABOUT_SCROLLER_CLASS, nullptr); }
