#include "readme_dialog.h"

void ShowReadmeDialog(HWND) {}
