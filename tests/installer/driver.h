// Drives the real texinstall.exe the way a player does: starts it with a
// private temporary folder, presses its buttons, answers the file dialog
// and the message boxes, and reads what it showed from the event log that
// the hook DLL writes inside the installer's process.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace fixture {

class InstallerDriver {
 public:
  // `exe` is the installer to start, `temp` the folder it gets as TMP and
  // TEMP (with no trailing backslash), `log` the event log path.
  InstallerDriver(const std::string& exe, const std::string& temp, const std::string& log);
  ~InstallerDriver();  // ends the process by force if it still runs

  // Adds "NAME=value" to the installer's environment; before Start().
  void AddEnvironment(const std::string& item) { extra_.push_back(item); }

  // Starts the installer and waits for its main window.
  bool Start();
  HWND main_window() const { return main_; }

  // Posts a press of the main window's button `id` (105 or 106).
  void Press(int id);

  // Waits for the file dialog and types `path` into its name box and
  // presses Open; an empty path presses Cancel.
  bool AnswerFileDialog(const std::string& path);

  // Waits until the event log holds the line `line` (counting from the
  // occurrence number `nth`, 1 for the first), dismissing every message
  // box with OK on the way and calling `on_file_dialog` for each file
  // dialog. @return false on timeout.
  bool RunUntil(const std::string& line, const std::function<void()>& on_file_dialog,
                int nth = 1, DWORD timeout_ms = 180000);

  // A visible top-level window of the installer with the title `title`.
  HWND WindowTitled(const std::string& title) const;

  // Lines of the event log so far.
  std::vector<std::string> Events() const;

  // Watches the status line and the percentage label without pausing until
  // the status reads `status` and the percentage lies in [low, high].
  // @return false on timeout.
  bool WaitForProgress(const std::string& status, int low, int high, DWORD timeout_ms);

  // Stops and restarts the installer's user-interface thread, e.g. to hold
  // a moment of a run still for a screenshot.
  void Suspend() { SuspendThread(process_.hThread); }
  void Resume() { ResumeThread(process_.hThread); }

  // Closes the main window and waits for the process to end.
  // @return the exit code, or -1 if it did not end.
  int Close();

 private:
  HWND FindTopLevel(const std::function<bool(HWND)>& match) const;
  HWND FileDialog() const;
  HWND MessageBoxWindow() const;

  std::string exe_, temp_, log_;
  std::vector<std::string> extra_;
  PROCESS_INFORMATION process_ = {};
  HHOOK hook_ = nullptr;
  HMODULE hook_module_ = nullptr;
  HWND main_ = nullptr;
};

}  // namespace fixture
