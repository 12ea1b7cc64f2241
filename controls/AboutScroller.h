// TAboutScroller: a child window whose text rises slowly from the bottom
// edge to the top edge, over and over, like closing credits. A worker thread
// per window advances the scroll offset one pixel per step and asks the window
// to repaint; the window paints through an offscreen image so the motion does
// not flicker.
//
// The class keeps one state record for all its windows: at most one window
// of the class may exist at a time. The scroll delay outlives the window and
// holds for the next one; the offset and colours start afresh on creation.
#pragma once
#include <windows.h>

#define ABOUT_SCROLLER_CLASS "TAboutScroller"

// The control's own messages.
enum : UINT {
  SCM_GETTEXTCOLOR = WM_USER + 1000,  // result: text colour
  SCM_GETBKCOLOR = WM_USER + 1001,    // result: background colour
  SCM_SETCOLORS = WM_USER + 1002,     // wParam text colour, lParam background colour
  SCM_SETDELAY = WM_USER + 1003,      // wParam milliseconds slept after each step
  SCM_TICK = WM_USER + 1004,          // sent by the worker after each step: repaint
};

// Longest text the control keeps; longer text is cut to its first characters.
constexpr int kScrollerTextMax = 8191;
constexpr LONG kScrollerDefaultDelay = 75;

// The class-wide state. Each window stores the record's address in its
// GWLP_USERDATA slot. `offset` and `delay` are shared with the worker thread
// and change only through interlocked operations.
struct ScrollerState {
  HFONT font;             // text font; 0 draws in the memory context's default font
  volatile LONG offset;   // image row shown at the control's top edge
  COLORREF textColor;
  COLORREF backColor;
  volatile LONG delay;    // milliseconds the worker sleeps after each step
  HWND window;            // the window the worker ticks
  HANDLE thread;          // the worker thread
  DWORD threadId;
  char* text;             // kScrollerTextMax + 1 bytes, zero-terminated ANSI
};

// Registers the class on the pattern of the system class "STATIC" (its style,
// class extra bytes, icons and cursor), with no instance handle so any module
// may create it. Call once at program start, before any dialog that uses it.
// The registration result is ignored.
void RegisterAboutScroller();

// Unregisters the class. Call once at program end, after its last window.
void UnregisterAboutScroller();

// The worker thread: steps the offset of the record at `param`, sends
// SCM_TICK and sleeps `delay` milliseconds, until the window terminates it.
DWORD WINAPI ScrollerThread(LPVOID param);

// Sets the text and background colours; shown from the next step on.
inline void Scroller_SetColors(HWND scroller, COLORREF text, COLORREF back) {
  SendMessageA(scroller, SCM_SETCOLORS, text, static_cast<LPARAM>(back));
}
inline COLORREF Scroller_GetTextColor(HWND scroller) {
  return static_cast<COLORREF>(SendMessageA(scroller, SCM_GETTEXTCOLOR, 0, 0));
}
inline COLORREF Scroller_GetBkColor(HWND scroller) {
  return static_cast<COLORREF>(SendMessageA(scroller, SCM_GETBKCOLOR, 0, 0));
}
// Sets the pause after each one-pixel step, in milliseconds; 0 steps as fast
// as the window accepts ticks. Holds for later windows of the class too.
inline void Scroller_SetDelay(HWND scroller, DWORD milliseconds) {
  SendMessageA(scroller, SCM_SETDELAY, milliseconds, 0);
}
// The record behind a window of the class, or null before its WM_CREATE.
inline ScrollerState* Scroller_State(HWND scroller) {
  return reinterpret_cast<ScrollerState*>(GetWindowLongPtrA(scroller, GWLP_USERDATA));
}
