#include "controls.h"

#include "AboutScroller.h"
#include "HyperLink.h"

void RegisterControlClasses(HINSTANCE instance) {
  RegisterAboutScroller();
  RegisterHyperLink(instance);
}

void UnregisterControlClasses(HINSTANCE) {
  UnregisterAboutScroller();
  ReleaseLinkFonts();
}
