// Helpers for the controls' tests: read pixels back from the screen, pump the
// message queue, and wait for conditions while the queue keeps moving.
#pragma once
#include <windows.h>

#include <functional>
#include <vector>

// A block of screen pixels, row by row from the top, as COLORREF values.
struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<COLORREF> data;

  COLORREF At(int x, int y) const { return data[static_cast<size_t>(y) * width + x]; }
  // Number of pixels in rows [top, bottom) for which `match` holds.
  int Count(int top, int bottom, const std::function<bool(COLORREF)>& match) const;
  // First and last row holding a pixel for which `match` holds; -1 if none.
  int FirstRow(const std::function<bool(COLORREF)>& match) const;
  int LastRow(const std::function<bool(COLORREF)>& match) const;
  // Leftmost and rightmost column holding such a pixel; -1 if none.
  int FirstColumn(const std::function<bool(COLORREF)>& match) const;
  int LastColumn(const std::function<bool(COLORREF)>& match) const;
  // Longest horizontal run of matching pixels in any row.
  int LongestRun(const std::function<bool(COLORREF)>& match) const;
};

// Copies a rectangle of the screen (screen coordinates).
Pixels CaptureScreen(const RECT& screenRect);
// Copies the client area of `window` as it shows on the screen, after
// letting the thread's drawing reach the screen (it pumps messages).
Pixels CaptureClient(HWND window);

// Dispatches messages of this thread for `ms` milliseconds.
void PumpFor(DWORD ms);
// Dispatches messages until `done` holds or `timeoutMs` passes; @return done().
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);
// Repaints `window` and its children now, through the system's WM_PAINT.
void RepaintNow(HWND window);

inline int Red(COLORREF c) { return GetRValue(c); }
inline int Green(COLORREF c) { return GetGValue(c); }
inline int Blue(COLORREF c) { return GetBValue(c); }


// A plain visible top-level window at a fixed screen position to hold
// controls under test; it paints nothing of its own beyond the class brush.
HWND CreateHostWindow(int x, int y, int width, int height);
