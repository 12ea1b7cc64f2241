// Registration of the installer's own window classes: the scrolling text
// (AboutScroller.h) and the hyperlink (HyperLink.h). Call
// RegisterControlClasses once at program start, before any dialog, and
// UnregisterControlClasses once at program end, after the last dialog.
#pragma once
#include <windows.h>

// Registers "TAboutScroller" and "AHyperlinkWndClassEx" for `instance`, the
// program's module. Registration failures are ignored.
void RegisterControlClasses(HINSTANCE instance);

// Unregisters the scrolling text class and releases the hyperlink's fonts.
// The hyperlink class itself stays registered until the process ends.
void UnregisterControlClasses(HINSTANCE instance);
