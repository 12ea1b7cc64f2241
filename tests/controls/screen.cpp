#include "screen.h"

#include <algorithm>

int Pixels::Count(int top, int bottom, const std::function<bool(COLORREF)>& match) const {
  int n = 0;
  for (int y = std::max(top, 0); y < std::min(bottom, height); ++y)
    for (int x = 0; x < width; ++x) n += match(At(x, y)) ? 1 : 0;
  return n;
}

int Pixels::FirstRow(const std::function<bool(COLORREF)>& match) const {
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (match(At(x, y))) return y;
  return -1;
}

int Pixels::LastRow(const std::function<bool(COLORREF)>& match) const {
  for (int y = height - 1; y >= 0; --y)
    for (int x = 0; x < width; ++x)
      if (match(At(x, y))) return y;
  return -1;
}

int Pixels::FirstColumn(const std::function<bool(COLORREF)>& match) const {
  for (int x = 0; x < width; ++x)
    for (int y = 0; y < height; ++y)
      if (match(At(x, y))) return x;
  return -1;
}

int Pixels::LastColumn(const std::function<bool(COLORREF)>& match) const {
  for (int x = width - 1; x >= 0; --x)
    for (int y = 0; y < height; ++y)
      if (match(At(x, y))) return x;
  return -1;
}

int Pixels::LongestRun(const std::function<bool(COLORREF)>& match) const {
  int best = 0;
  for (int y = 0; y < height; ++y) {
    int run = 0;
    for (int x = 0; x < width; ++x) {
      run = match(At(x, y)) ? run + 1 : 0;
      best = std::max(best, run);
    }
  }
  return best;
}

Pixels CaptureScreen(const RECT& r) {
  Pixels p;
  p.width = r.right - r.left;
  p.height = r.bottom - r.top;
  if (p.width <= 0 || p.height <= 0) return p;
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = p.width;
  bi.bmiHeader.biHeight = -p.height;  // top-down rows
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC mem = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(mem, dib);
  BitBlt(mem, 0, 0, p.width, p.height, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  const DWORD* px = static_cast<const DWORD*>(bits);
  p.data.resize(static_cast<size_t>(p.width) * p.height);
  for (size_t i = 0; i < p.data.size(); ++i) {
    DWORD v = px[i];  // 0x00RRGGBB in a 32-bit DIB
    p.data[i] = RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
  }
  SelectObject(mem, old);
  DeleteDC(mem);
  DeleteObject(dib);
  ReleaseDC(nullptr, screen);
  return p;
}

Pixels CaptureClient(HWND window) {
  // Drawing reaches the screen when the thread goes idle; let it.
  GdiFlush();
  PumpFor(120);
  RECT r;
  GetClientRect(window, &r);
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
  return CaptureScreen(r);
}

void PumpFor(DWORD ms) {
  PumpUntil([] { return false; }, ms);
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (done()) return true;
    if (GetTickCount() - start >= timeoutMs) return done();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

void RepaintNow(HWND window) {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  GdiFlush();
}

HWND CreateHostWindow(int x, int y, int width, int height) {
  static ATOM atom = [] {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = "ControlsTestHost";
    return RegisterClassA(&wc);
  }();
  (void)atom;
  HWND host = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, "ControlsTestHost", "host", WS_POPUP,
                              x, y, width, height, nullptr, nullptr, GetModuleHandleA(nullptr),
                              nullptr);
  ShowWindow(host, SW_SHOWNOACTIVATE);
  RepaintNow(host);
  return host;
}
