// Registration of the installer's own window classes (scrolling text and
// hyperlink). Called once at program start, before any dialog, and once at
// program end.
#pragma once
#include <windows.h>

void RegisterControlClasses(HINSTANCE instance);
void UnregisterControlClasses(HINSTANCE instance);
