#include "workflow/names.h"

#include <cstring>

namespace pbo {
namespace {

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Device names the system opens instead of a file in any folder, whatever
// the extension. The superscript digits are code page 1252's.
bool IsReservedDeviceName(const std::string& part) {
  // The device is named by the text before the first dot, trailing spaces
  // dropped: "con.txt" and "CON .log" both open the console.
  std::string base = part.substr(0, part.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  static const char* const kPlain[] = {"con", "prn", "aux", "nul", "conin$",
                                       "conout$"};
  for (const char* name : kPlain) {
    if (SameName(base, name)) return true;
  }
  if (base.size() == 4) {
    std::string stem = base.substr(0, 3);
    unsigned char digit = static_cast<unsigned char>(base[3]);
    bool is_digit = (digit >= '0' && digit <= '9') || digit == 0xB9 ||
                    digit == 0xB2 || digit == 0xB3;
    if (is_digit && (SameName(stem, "com") || SameName(stem, "lpt"))) {
      return true;
    }
  }
  return false;
}

}  // namespace

std::string CutPath(const std::string& path) {
  return path.size() > kMaxPathLength ? path.substr(0, kMaxPathLength) : path;
}

std::string PathArgument(const char* text) {
  return text == nullptr ? std::string() : CutPath(std::string(text));
}

bool EndsWithBackslash(const std::string& text) {
  return !text.empty() && text.back() == '\\';
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

std::string LastComponent(const std::string& path) {
  size_t cut = path.find_last_of("\\/:");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string PackOutputPath(const std::string& source,
                           const std::string& destination) {
  std::string out;
  if (destination.empty()) {
    out = source;
  } else {
    out = destination;
    if (!EndsWithBackslash(out)) out += '\\';
    size_t cut = source.find_last_of("\\:");
    out += cut == std::string::npos ? source : source.substr(cut + 1);
  }
  return CutPath(out + ".pbo");
}

std::string UnpackOutputFolder(const std::string& archive,
                               const std::string& destination) {
  size_t name_start = archive.find_last_of("\\/:");
  name_start = name_start == std::string::npos ? 0 : name_start + 1;
  size_t dot = archive.rfind('.');
  size_t stem_end =
      (dot == std::string::npos || dot < name_start) ? archive.size() : dot;
  if (destination.empty()) return archive.substr(0, stem_end);
  std::string out = destination;
  if (!EndsWithBackslash(out)) out += '\\';
  return out + archive.substr(name_start, stem_end - name_start);
}

const char* UnsafeComponentReason(const std::string& part) {
  if (part.empty()) return "Name has an empty part.";
  if (part == "." || part == "..") return "Name has a \".\" or \"..\" part.";
  for (char c : part) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || std::strchr(":<>\"|?*/\\", c) != nullptr) {
      return "Name has a character that is not allowed.";
    }
  }
  if (part.back() == '.' || part.back() == ' ') {
    return "Name has a part ending with a dot or a space.";
  }
  if (IsReservedDeviceName(part)) return "Name has a reserved device name.";
  return nullptr;
}

const char* UnsafeNameReason(const std::string& name) {
  size_t start = 0;
  while (true) {
    size_t end = name.find('\\', start);
    std::string part = name.substr(
        start, end == std::string::npos ? std::string::npos : end - start);
    if (const char* reason = UnsafeComponentReason(part)) return reason;
    if (end == std::string::npos) return nullptr;
    start = end + 1;
  }
}

}  // namespace pbo
