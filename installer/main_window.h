// The installer's main window (dialog "MAIN_WINDOW"): preview picture,
// progress pair, status line, readme and install buttons.
#pragma once
#include <windows.h>

// Dialog procedure of the main window. Returns 0 for every message, so the
// dialog manager does its default processing for all of them.
INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Sends `control` WM_SETTEXT with `text`.
void SetControlText(HWND control, const char* text);

// Enables the dialog item `id` when `enable` is non-zero, disables it
// otherwise.
void EnableControl(HWND dialog, int id, BOOL enable);
