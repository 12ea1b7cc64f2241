// AHyperlinkWndClassEx: a child window that shows its text as a web-style
// link, centred at its top edge. Black and plain while the pointer is away;
// blue, underlined and with the hand cursor "LINKCURSOR" while the pointer is
// over it. Releasing the left or right button on it opens its target with the
// shell's "open" verb.
//
// Fonts, colours and the cursor are class-wide and set again on the creation
// of every window of the class; the dialog's font is not used.
#pragma once
#include <windows.h>

#define HYPERLINK_CLASS "AHyperlinkWndClassEx"
// Name of the window property that holds the target, and of the cursor
// resource that the program carries for the hover look.
#define LINK_TARGET_PROP "LINKCURSOR"
#define LINK_CURSOR_NAME "LINKCURSOR"

constexpr COLORREF kLinkNormalColor = RGB(0, 0, 0);
constexpr COLORREF kLinkHoverColor = RGB(0, 0, 255);

// Registers the class for `instance` (the program's module). Call once at
// program start, before any dialog that uses it. The result is ignored; the
// class stays registered until the process ends.
void RegisterHyperLink(HINSTANCE instance);

// Deletes the class-wide fonts. Call once at program end, after the last
// window of the class is gone.
void ReleaseLinkFonts();

// Stores the address of `target` (not a copy) as the window's link target, so
// the text must outlive the window. @return nonzero if the property was set.
BOOL SetLinkTarget(HWND link, const char* target);

// Creates a "MS Sans Serif" font of `pointSize` points for the vertical
// resolution of `dc`, with the given weight, underlined when `underline`.
// @return the font, or 0 if it cannot be created.
HFONT CreateLinkFont(HDC dc, int pointSize, int weight, bool underline);

// Draws the link's text (at most 1023 characters) in `color` onto `dc`:
// button-face background, centred horizontally at the top edge, underlined
// unless `color` is the plain black. The font stays selected in `dc`.
void PaintLink(HWND link, HDC dc, COLORREF color);

// Repaints the link at once in `color` (what the hover test does).
inline void Link_PaintNow(HWND link, COLORREF color) {
  SendMessageA(link, WM_PAINT, color, -1);
}
