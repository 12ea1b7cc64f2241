// Run-time binding of the archive library: each call loads "pbokit.dll" by
// its bare name (so the system's search order applies), looks up one export
// by name, calls it with the main window's progress pair and unloads the
// library again.
#pragma once
#include <windows.h>

// Unpacks `archive` into a folder named after it (without extension) below
// `destination`, through the export "_DecompressPbo".
// @return true when the export returned non-zero; false when the library
//         cannot be loaded ("DLL not found : pbokit.dll" box), the export is
//         missing ("Function not found : _DecompressPbo" box) or the export
//         failed (after the library's own box).
bool CallDecompressPbo(HWND dialog, const char* archive, const char* destination);

// Packs `source` into `destination` + its last component + ".pbo" through
// the export "_PackPbo"; the library keeps an existing archive as ".bak".
// @return as CallDecompressPbo, with "_PackPbo" in the texts.
bool CallPackPbo(HWND dialog, const char* source, const char* destination);
