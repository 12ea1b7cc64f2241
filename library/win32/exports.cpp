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

// Runs one workflow. No exception may reach the caller, whose frames the
// unwinder cannot pass: the workflows catch their own, and anything left
// (memory running out while the error text is built) ends the call with 0.
template <typename Work>
BOOL Guarded(HWND owner, HWND bar, HWND label, Work work) {
  try {
    pbo::Win32Platform platform(owner, bar, label);
    return work(platform) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

BOOL Pack(HWND owner, const char* source, const char* destination, HWND bar,
          HWND label, pbo::PackMode mode) {
  return Guarded(owner, bar, label, [&](pbo::Platform& platform) {
    return pbo::PackFolder(platform, source, destination, mode);
  });
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
  return Guarded(owner, bar, label, [&](pbo::Platform& platform) {
    return pbo::UnpackArchive(platform, archive, destination);
  });
}

const char* WINAPI _GetInfoDll(void) { return kInfoText; }

}  // extern "C"
