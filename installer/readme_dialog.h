// The readme window: the pack's readme text scrolling upward, two notice
// lines and a link. Shown modally from the main window.
#pragma once
#include <windows.h>

void ShowReadmeDialog(HWND owner);
