#include "controls.h"

void RegisterControlClasses(HINSTANCE) {}
void UnregisterControlClasses(HINSTANCE) {}
