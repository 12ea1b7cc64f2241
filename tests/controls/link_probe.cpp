// Stands in for a link target: when started, writes the file named like
// itself with ".ran" appended, so a test can see that it was opened.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char path[MAX_PATH + 8];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 1;
  lstrcatA(path, ".ran");
  HANDLE f = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(f, "ran", 3, &written, nullptr);
  CloseHandle(f);
  return 0;
}
