#include "payload.h"

#include "paths.h"

const PayloadRow PayloadTable[PAYLOAD_COUNT] = {
    {"PATCH1", "extract\\O\\Skal\\kamen02.pac"},
    {"PATCH2", "extract\\O\\Skal\\kamen04.pac"},
    {"PATCH3", "extract\\O\\Skal\\kamen05.pac"},
    {"PATCH4", "extract\\O\\Tree\\akat01_krd2.pac"},
    {"PATCH5", "extract\\O\\Tree\\akat01_kvety.pac"},
    {"PATCH6", "extract\\O\\Tree\\akat01_lsd2.pac"},
    {"PATCH7", "extract\\O\\Tree\\akat01_lss3.pac"},
    {"PATCH8", "extract\\O\\Tree\\borovice02c.pac"},
    {"PATCH9", "extract\\O\\Tree\\dd_lesd02.pac"},
    {"PATCH10", "extract\\O\\Tree\\dd_lesd03.pac"},
    {"PATCH11", "extract\\O\\Tree\\dd_lest01.pac"},
    {"PATCH12", "extract\\O\\Tree\\dd_les_kura03.pac"},
    {"PATCH13", "extract\\O\\Tree\\dd_les_vetve04.pac"},
    {"PATCH14", "extract\\O\\Tree\\dub_kura_fx.pac"},
    {"PATCH15", "extract\\O\\Tree\\dub_listy_fx.pac"},
    {"PATCH16", "extract\\O\\Tree\\javor01_kr3.pac"},
    {"PATCH17", "extract\\O\\Tree\\javor01_lsd2.pac"},
    {"PATCH18", "extract\\O\\Tree\\kmenletokruh.pac"},
    {"PATCH19", "extract\\O\\Tree\\smrkur.pac"},
    {"PATCH20", "extract\\O\\Tree\\smrkvtvmal.pac"},
    {"PATCH21", "extract\\O\\Tree\\smrkvtvvel.pac"},
};

namespace {

// Creates `folder` (ending with a backslash) and every missing parent.
// Results are not looked at: a folder that could not be made shows up when
// the file inside it cannot be created.
void CreateFolderTree(const std::string& folder) {
  // Skip the root: "C:\" or "\\server\share\".
  size_t start = 3;
  if (folder.size() > 1 && folder[0] == '\\' && folder[1] == '\\') {
    start = folder.find('\\', 2);
    start = start == std::string::npos ? folder.size() : folder.find('\\', start + 1);
    if (start == std::string::npos) return;
    start += 1;
  }
  for (size_t i = start; i < folder.size(); ++i) {
    if (folder[i] == '\\') CreateDirectoryA(folder.substr(0, i).c_str(), nullptr);
  }
}

}  // namespace

bool WriteResourceToFile(LPCSTR type, LPCSTR name, const std::string& path) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC info = FindResourceA(module, name, type);
  if (info == nullptr) return false;
  HGLOBAL handle = LoadResource(module, info);
  const void* data = handle != nullptr ? LockResource(handle) : nullptr;
  const DWORD size = SizeofResource(module, info);
  if (data == nullptr) return false;

  const size_t slash = path.find_last_of('\\');
  if (slash != std::string::npos) {
    const std::string folder = path.substr(0, slash + 1);
    if (GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES) CreateFolderTree(folder);
  }
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(file, data, size, &written, nullptr) && written == size;
  if (!CloseHandle(file)) ok = false;
  return ok;
}

bool ExtractPayload() {
  if (!FolderPathsValid()) return false;
  for (const PayloadRow& row : PayloadTable) {
    if (!WriteResourceToFile("RCDATA1", row.resource, std::string(TempPath) + row.path)) {
      return false;
    }
  }
  return WriteResourceToFile("DLL", "pbokit", std::string(SystemPath) + "\\pbokit.dll");
}

void LoadResourceText(HMODULE module, LPCSTR name, LPCSTR type, std::string* text) {
  text->clear();
  HRSRC info = FindResourceA(module, name, type);
  if (info == nullptr) return;
  HGLOBAL handle = LoadResource(module, info);
  if (handle == nullptr) return;
  const char* data = static_cast<const char*>(LockResource(handle));
  const DWORD size = SizeofResource(module, info);
  if (data != nullptr) text->assign(data, size);
}
