// Stand-in workflows for a tree whose workflow library has no sources yet,
// so the DLL and its exports can be built and loaded meanwhile. Every
// working function fails with an error box. Removed once pboflow links.
#include "workflow/workflows.h"

namespace pbo {

bool PackFolder(Platform& platform, const char*, const char*, PackMode) {
  platform.ErrorBox("Packing is not available in this build.");
  return false;
}

bool UnpackArchive(Platform& platform, const char*, const char*) {
  platform.ErrorBox("Unpacking is not available in this build.");
  return false;
}

}  // namespace pbo
