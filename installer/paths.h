// The two folders every path of the installer is built from, noted once at
// program start.
#pragma once

// The user's temporary folder with its trailing backslash, e.g.
// "C:\Users\me\Temp\"; empty when it could not be determined.
extern char TempPath[261];
// The Windows system folder without a trailing backslash, e.g.
// "C:\Windows\system32"; empty when it could not be determined.
extern char SystemPath[261];

// Fills TempPath (GetTempPathA, at most 260 characters) and SystemPath
// (GetSystemDirectoryA, at most 261). A path the system could not give in
// full is left empty rather than cut, so nothing is ever written relative to
// the current folder.
void NoteFolderPaths();

// @return true when both paths are usable: non-empty, absolute (drive and
//         root, or a \\server share), TempPath ending with a backslash.
bool FolderPathsValid();
