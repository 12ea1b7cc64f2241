// The library's four exports. Each working function wraps one workflow:
// it binds the caller's windows to a Win32Platform and returns exactly 0 or
// 1 in a full 32-bit register, whatever width the caller reads.
#include "pbokit.h"

#include "win32/win32_platform.h"
#include "workflow/workflows.h"

namespace {

// The information text lives in constant data: the same pointer for every
// call, valid while the library is loaded.
constexpr char kInfoText[] =
    "Pbokit Dynamic-link library\r\n"
    "version 1.7 (build 07.07.2005)\r\n"
    "\r\n"
    "Copyright (c) 2026 the pbokit authors\r\n"
    "Contacts: <pbokit@example.org>";

BOOL Pack(HWND owner, const char* source, const char* destination, HWND bar,
          HWND label, pbo::PackMode mode) {
  pbo::Win32Platform platform(owner, bar, label);
  return pbo::PackFolder(platform, source, destination, mode) ? 1 : 0;
}

}  // namespace

extern "C" {

BOOL WINAPI _PackPbo(HWND owner, const char* source, const char* destination,
                     HWND bar, HWND label) {
  return Pack(owner, source, destination, bar, label, pbo::PackMode::kStored);
}

BOOL WINAPI _CompressPbo(HWND owner, const char* source,
                         const char* destination, HWND bar, HWND label) {
  return Pack(owner, source, destination, bar, label,
              pbo::PackMode::kCompressed);
}

BOOL WINAPI _DecompressPbo(HWND owner, const char* archive,
                           const char* destination, HWND bar, HWND label) {
  pbo::Win32Platform platform(owner, bar, label);
  return pbo::UnpackArchive(platform, archive, destination) ? 1 : 0;
}

const char* WINAPI _GetInfoDll(void) { return kInfoText; }

}  // extern "C"
