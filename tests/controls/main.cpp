// Test entry: the window classes are registered once for the whole run, as
// the installer registers them at program start.
#include <gtest/gtest.h>

#include "controls/controls.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  RegisterControlClasses(GetModuleHandleA(nullptr));
  int result = RUN_ALL_TESTS();
  UnregisterControlClasses(GetModuleHandleA(nullptr));
  return result;
}
