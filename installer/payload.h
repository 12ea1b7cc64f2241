// The pack's payload: the replacement textures and the archive library,
// carried as resources of the program's own module and written to disk at
// the start of every installation; and a resource read as text.
#pragma once
#include <windows.h>

#include <string>

#include "resource.h"

// One replacement texture: resource of type "RCDATA1" and its path below
// TempPath, laid out like the inside of the archive "O.pbo".
struct PayloadRow {
  const char* resource;
  const char* path;
};
extern const PayloadRow PayloadTable[PAYLOAD_COUNT];

// Writes the resource `name` of type `type` of the program's own module to
// `path` in one piece, creating missing folders and replacing an existing
// file. Shows nothing.
// @return true when the whole resource reached the file; false when the
//         resource is missing (nothing is created then), a folder or the
//         file cannot be made, or the write or close fails.
bool WriteResourceToFile(LPCSTR type, LPCSTR name, const std::string& path);

// Writes the 21 textures below TempPath in table order, then the library
// (type "DLL", name "pbokit") to SystemPath + "\pbokit.dll". Stops at the
// first failure; files already written stay. Writes nothing when the folder
// paths are not usable.
// @return true when all 22 files have been written.
bool ExtractPayload();

// Reads a resource of `module` whole into `text`: exactly as many
// characters as the resource has bytes, zero bytes included. A missing
// resource gives an empty text.
void LoadResourceText(HMODULE module, LPCSTR name, LPCSTR type, std::string* text);
