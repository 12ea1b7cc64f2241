#include "installation.h"

#include <shellapi.h>

#include <cstring>

#include "binding.h"
#include "main_window.h"
#include "paths.h"
#include "payload.h"
#include "resource.h"

namespace {

// The archives this pack patches, handled in order.
const char* const ArchiveList[] = {"O.pbo"};

// File dialog state, reused by every dialog.
OPENFILENAMEA FileDialog;
char FileNameBuffer[260];

// True while a run is under way: the library pumps the window's messages
// during its calls, so a second press would otherwise start a nested run on
// the same folders, dialog record and buffer.
bool InstallationRunning = false;

const char kErrorText[] = "Error occured during patching. Errorcode=";

void SetStatus(HWND dialog, const std::string& text) {
  SetControlText(GetDlgItem(dialog, IDC_STATUS), text.c_str());
}

void ShowCodeBox(HWND dialog, int code, const char* entry) {
  std::string text = kErrorText + std::to_string(code);
  if (entry != nullptr) text += std::string("\r\nFile not patched: ") + entry;
  ShowErrorBox(dialog, "Error", text.c_str(), IDI_ERRORBOX);
}

// The name part of a path: everything after the last backslash.
std::string FileNamePart(const std::string& path) {
  const size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Unpacks, copies over and packs one archive of the list.
void PatchArchive(HWND dialog, const char* entry) {
  const std::string name = entry;
  const std::string base = name.substr(0, name.find_last_of('.'));  // "O" of "O.pbo"
  // One filter whose description and pattern are both the entry.
  std::string filter = std::string(entry) + '\0' + entry + '\0';
  filter += '\0';
  std::string chosen;
  if (!ChooseArchiveFile(dialog, filter.c_str(), &chosen)) return;

  // The unpack folder is named after the chosen file while the copy and the
  // pack use the entry's name; any other file would be replaced by an
  // archive holding only the replacement textures.
  if (lstrcmpiA(FileNamePart(chosen).c_str(), entry) != 0) {
    const std::string text = std::string("This pack patches only ") + entry +
                             ". Please choose that file.\r\nFile not patched: " +
                             FileNamePart(chosen);
    ShowErrorBox(dialog, "Error", text.c_str(), IDI_ERRORBOX);
    return;
  }

  SetStatus(dialog, std::string("Status: Unpacking ") + entry);
  const std::string archive = chosen.substr(0, 255);
  const std::string unpack = std::string(TempPath) + "unpack";
  if (!CallDecompressPbo(dialog, archive.c_str(), unpack.c_str())) {
    ShowCodeBox(dialog, 2, entry);
    return;
  }

  SetStatus(dialog, "Status: Copying files");
  const std::string unpacked = unpack + "\\" + base;
  if (!ShellCopyFolder(std::string(TempPath) + "extract\\" + base, unpack)) {
    ShowCodeBox(dialog, 3, entry);
  } else {
    SetStatus(dialog, std::string("Status: Packing ") + entry);
    const std::string folder = chosen.substr(0, chosen.find_last_of('\\') + 1);
    if (CallPackPbo(dialog, unpacked.c_str(), folder.c_str())) {
      SetStatus(dialog, std::string("Status: Successfully patched: ") + entry);
    } else {
      ShowCodeBox(dialog, 4, entry);
    }
  }
  ShellDeleteFolder(unpacked);
}

void RunSequence(HWND dialog) {
  EnableControl(dialog, IDC_STATUS, TRUE);
  EnableControl(dialog, IDC_PERCENT, TRUE);
  SetStatus(dialog, "Status: Extracting resources");

  if (!FolderPathsValid()) {
    // Without both folders there is nowhere safe to write or delete.
    ShowErrorBox(dialog, "Error",
                 "The temporary folder or the system folder could not be found.",
                 IDI_ERRORBOX);
    ShowCodeBox(dialog, 1, nullptr);
  } else if (!ExtractPayload()) {
    // The files written so far stay; nothing is deleted.
    ShowCodeBox(dialog, 1, nullptr);
  } else {
    for (const char* entry : ArchiveList) PatchArchive(dialog, entry);
    SetStatus(dialog, "Status: Deleting temporary files");
    ShellDeleteFolder(std::string(TempPath) + "extract");
    ShellDeleteFolder(std::string(TempPath) + "unpack");
  }

  SetStatus(dialog, "Status: Done");
  EnableControl(dialog, IDC_STATUS, FALSE);
  EnableControl(dialog, IDC_PERCENT, FALSE);
}

// Fills a zeroed buffer with `path` followed by two zero characters, the
// shell's list form with one entry. Longer paths are cut to fit.
void ToShellList(const std::string& path, char (&buffer)[1024]) {
  std::memset(buffer, 0, sizeof(buffer));
  std::memcpy(buffer, path.c_str(), path.size() < sizeof(buffer) - 2 ? path.size() : sizeof(buffer) - 2);
}

}  // namespace

void RunInstallation(HWND dialog) {
  if (InstallationRunning) return;
  InstallationRunning = true;
  RunSequence(dialog);
  InstallationRunning = false;
}

bool ChooseArchiveFile(HWND owner, const char* filter, std::string* path) {
  std::memset(FileNameBuffer, 0, sizeof(FileNameBuffer));
  std::memset(&FileDialog, 0, sizeof(FileDialog));
  FileDialog.lStructSize = OPENFILENAME_SIZE_VERSION_400A;  // 76 bytes
  FileDialog.hwndOwner = owner;
  FileDialog.hInstance = GetModuleHandleA(nullptr);
  FileDialog.lpstrFilter = filter;
  FileDialog.lpstrFile = FileNameBuffer;
  FileDialog.nMaxFile = sizeof(FileNameBuffer);
  FileDialog.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_LONGNAMES;
  if (!GetOpenFileNameA(&FileDialog)) return false;
  path->assign(FileNameBuffer);
  return true;
}

int ShowErrorBox(HWND owner, const char* caption, const char* text, int icon) {
  MSGBOXPARAMSA params;
  std::memset(&params, 0, sizeof(params));
  params.cbSize = sizeof(params);  // 40 bytes
  params.hwndOwner = owner;
  params.hInstance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(owner, GWLP_HINSTANCE));
  params.lpszText = text;
  params.lpszCaption = caption;
  params.dwStyle = MB_OK | MB_USERICON | MB_TOPMOST;
  params.lpszIcon = MAKEINTRESOURCEA(icon);
  params.dwLanguageId = GetSystemDefaultLangID();
  return MessageBoxIndirectA(&params);
}

bool ShellCopyFolder(const std::string& source, const std::string& destination) {
  static char from[1024];
  static char to[1024];
  ToShellList(source, from);
  ToShellList(destination, to);
  SHFILEOPSTRUCTA operation;
  std::memset(&operation, 0, sizeof(operation));
  operation.wFunc = FO_COPY;
  operation.pFrom = from;
  operation.pTo = to;
  operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
  return SHFileOperationA(&operation) == 0;
}

void ShellDeleteFolder(const std::string& path) {
  static char from[1024];
  ToShellList(path, from);
  SHFILEOPSTRUCTA operation;
  std::memset(&operation, 0, sizeof(operation));
  operation.wFunc = FO_DELETE;
  operation.pFrom = from;
  operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
  SHFileOperationA(&operation);
}
