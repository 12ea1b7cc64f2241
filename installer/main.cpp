// Program entry of the installer: registers the window classes, notes the
// temporary and system folders and shows the main window modally.
#include <windows.h>
#include <commctrl.h>

#include "controls.h"
#include "main_window.h"
#include "paths.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // The readme window's classes must exist before any dialog is created.
  RegisterControlClasses(instance);
  // The main window's progress bar class comes from the common controls.
  INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&classes);

  NoteFolderPaths();
  DialogBoxParamA(instance, "MAIN_WINDOW", nullptr, MainDialogProc, 0);

  UnregisterControlClasses(instance);
  return 0;
}
