// The readme window: the pack's readme text scrolling upward in green on
// black, two notice lines and a link to the project's web page. Shown modally
// from the main window; built from the dialog template "INFO_WINDOW", whose
// window classes RegisterControlClasses (controls/controls.h) must have
// registered before.
#pragma once
#include <windows.h>

// Shows the readme window, owned by `owner` (disabled meanwhile), and returns
// when the user closes it with "OK" or the close box. Escape does not close it.
void ShowReadmeDialog(HWND owner);

// The window's dialog procedure. Returns 0 for every message, so the dialog
// manager's default handling always runs, and no initial focus is set.
INT_PTR CALLBACK ReadmeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
