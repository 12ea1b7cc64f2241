#include "binding.h"

#include <string>

#include "resource.h"

namespace {

// The exports' one signature: owner window, two paths, progress bar and
// percentage label; one byte back, zero for failure.
typedef unsigned char(__stdcall* PboFunction)(HWND owner, const char* first,
                                              const char* second, HWND bar,
                                              HWND label);

bool CallLibrary(HWND dialog, const char* export_name, const char* first,
                 const char* second) {
  HMODULE library = LoadLibraryA("pbokit.dll");
  if (library == nullptr) {
    MessageBoxA(dialog, "DLL not found : pbokit.dll", "Error", MB_OK);
    return false;
  }
  bool result = false;
  PboFunction function =
      reinterpret_cast<PboFunction>(reinterpret_cast<void*>(GetProcAddress(library, export_name)));
  if (function == nullptr) {
    const std::string text = std::string("Function not found : ") + export_name;
    MessageBoxA(dialog, text.c_str(), "Error", MB_OK);
  } else {
    result = function(dialog, first, second, GetDlgItem(dialog, IDC_PROGRESS),
                      GetDlgItem(dialog, IDC_PERCENT)) != 0;
  }
  FreeLibrary(library);
  return result;
}

}  // namespace

bool CallDecompressPbo(HWND dialog, const char* archive, const char* destination) {
  return CallLibrary(dialog, "_DecompressPbo", archive, destination);
}

bool CallPackPbo(HWND dialog, const char* source, const char* destination) {
  return CallLibrary(dialog, "_PackPbo", source, destination);
}
