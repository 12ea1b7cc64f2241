// The installation sequence behind the "Install Replacement Pack" button:
// write the payload, let the user pick each archive, unpack it, copy the
// replacements over, pack it back beside the chosen file, clean up.
#pragma once
#include <windows.h>

#include <string>

// Runs the whole sequence inside the button's handling and returns when it
// has finished. Every step is announced in the status line; a failed step
// shows a box with its error code (1 to 4) and the sequence goes on to the
// next archive and the clean-up. A press while a run is under way (the
// library keeps delivering the window's messages) is ignored.
void RunInstallation(HWND dialog);

// Shows the file-open dialog owned by `owner` with `filter` (pairs of
// zero-terminated texts, closed by one more zero).
// @return true with the chosen file's full path in `path`; false when the
//         user cancelled or the dialog failed.
bool ChooseArchiveFile(HWND owner, const char* filter, std::string* path);

// A message box owned by `owner` with an OK button, topmost, showing the
// icon resource `icon` of the owner's module.
// @return the box's result.
int ShowErrorBox(HWND owner, const char* caption, const char* text, int icon);

// Copies the folder `source` into the folder `destination` with the shell,
// merging with a folder of the same name there and replacing files without
// asking; no window, no questions, no error boxes.
// @return true when the shell reported success.
bool ShellCopyFolder(const std::string& source, const std::string& destination);

// Deletes the folder tree `path` outright with the shell, silently.
void ShellDeleteFolder(const std::string& path);
