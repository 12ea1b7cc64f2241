// A window-procedure hook loaded into the installer's process by the
// end-to-end tests. After each message it notes what a player would see,
// one line per event, in the file named by INSTALLER_EVENT_LOG:
//   status <text>          the status line (control 103) got a new text
//   dialog <caption>|<text> a dialog box opened (message boxes with their
//                           text, the file dialog with an empty text)
// Carriage returns and line feeds inside texts are written as \r and \n.
// When INSTALLER_DELETE_AT names a status text, the file named by
// INSTALLER_DELETE_PATH is deleted the moment that status appears, before
// the installer goes on: a file that vanishes between two steps.
#include <windows.h>

#include <string>

namespace {

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

void Note(const std::string& line) {
  char path[MAX_PATH];
  DWORD n = GetEnvironmentVariableA("INSTALLER_EVENT_LOG", path, sizeof(path));
  if (n == 0 || n >= sizeof(path)) return;
  HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::string text = line + "\n";
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

std::string TextOf(HWND window) {
  char buffer[2048] = {};
  GetWindowTextA(window, buffer, sizeof(buffer));
  return buffer;
}

void OnMessageDone(const CWPRETSTRUCT& m) {
  char class_name[64] = {};
  GetClassNameA(m.hwnd, class_name, sizeof(class_name));
  if (m.message == WM_SETTEXT && GetDlgCtrlID(m.hwnd) == 103 &&
      lstrcmpiA(class_name, "Static") == 0 && m.lParam != 0) {
    const char* status = reinterpret_cast<const char*>(m.lParam);
    Note("status " + Escaped(status));
    char when[256] = {};
    char path[MAX_PATH] = {};
    if (GetEnvironmentVariableA("INSTALLER_DELETE_AT", when, sizeof(when)) > 0 &&
        lstrcmpA(when, status) == 0 &&
        GetEnvironmentVariableA("INSTALLER_DELETE_PATH", path, sizeof(path)) > 0) {
      DeleteFileA(path);
    }
  } else if (m.message == WM_INITDIALOG && lstrcmpA(class_name, "#32770") == 0 &&
             (GetWindowLongA(m.hwnd, GWL_STYLE) & WS_CHILD) == 0) {
    // Message boxes keep their text in a static with id 0xFFFF (100 in
    // some versions of the system).
    HWND text = GetDlgItem(m.hwnd, 0xFFFF);
    if (text == nullptr) text = GetDlgItem(m.hwnd, 100);
    Note("dialog " + Escaped(TextOf(m.hwnd)) + "|" + (text ? Escaped(TextOf(text)) : ""));
  }
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK CallWndRetProc(int code, WPARAM wparam,
                                                                 LPARAM lparam) {
  if (code == HC_ACTION && lparam != 0) {
    OnMessageDone(*reinterpret_cast<const CWPRETSTRUCT*>(lparam));
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}
