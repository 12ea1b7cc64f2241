#include "workflow/scan.h"

#include <algorithm>

#include "workflow/names.h"

namespace pbo {
namespace {

class Scanner {
 public:
  Scanner(Platform& platform, const ScanOptions& options)
      : platform_(platform), options_(options) {
    for (const std::string& path : options.excluded_paths) {
      Excluded e;
      e.path = path;
      e.name = LastComponent(path);
      e.has_id = platform.Identity(path, &e.id);
      excluded_.push_back(e);
    }
  }

  ScanResult Run() {
    uint64_t id = 0;
    if (platform_.Identity(options_.source, &id)) open_folders_.push_back(id);
    Scan(options_.source);
    return std::move(result_);
  }

 private:
  struct Excluded {
    std::string path;
    std::string name;
    bool has_id = false;
    uint64_t id = 0;
  };

  // True for the output archive or its backup met inside the source folder.
  bool IsExcluded(const std::string& full_path, const std::string& name) {
    for (const Excluded& e : excluded_) {
      if (!SameName(name, e.name)) continue;
      uint64_t id = 0;
      if (e.has_id && platform_.Identity(full_path, &id)) {
        if (id == e.id) return true;
      } else if (SameName(full_path, e.path)) {
        return true;
      }
    }
    return false;
  }

  // True when the folder is one of those being scanned already (a link
  // leading back to a parent): entering it again would never end.
  bool IsOpen(uint64_t id) const {
    return std::find(open_folders_.begin(), open_folders_.end(), id) !=
           open_folders_.end();
  }

  void Scan(const std::string& folder) {
    std::vector<FolderItem> items;
    if (!platform_.ListFolder(folder, &items)) return;
    for (const FolderItem& item : items) {
      if (!result_.too_large.empty()) return;
      std::string full_path = folder + "\\" + item.name;
      if (item.is_folder) {
        if (item.name == "." || item.name == "..") continue;
        uint64_t id = 0;
        bool has_id = platform_.Identity(full_path, &id);
        if (has_id && IsOpen(id)) continue;
        if (has_id) open_folders_.push_back(id);
        Scan(full_path);
        if (has_id) open_folders_.pop_back();
        continue;
      }
      if (IsExcluded(full_path, item.name)) continue;
      if (item.size >= kMaxFileSize) {
        result_.too_large = full_path;
        return;
      }
      AddFile(full_path, item);
    }
  }

  void AddFile(const std::string& full_path, const FolderItem& item) {
    std::string relative = full_path.substr(options_.source.size() + 1);
    EntryRecord r;
    r.name = relative.substr(0, kMaxNameLength);
    int32_t size = static_cast<int32_t>(item.size);
    if (options_.compressed) {
      r.method = kCompressedMethod;
      r.original_size = size;
    }
    r.timestamp = platform_.FileTimeToStamp(item.last_write);
    r.data_size = size;
    result_.records.push_back(std::move(r));
    result_.paths.push_back(std::move(relative));
    result_.sizes.push_back(item.size);
    result_.total += static_cast<int64_t>(item.size);
  }

  Platform& platform_;
  const ScanOptions& options_;
  std::vector<Excluded> excluded_;
  std::vector<uint64_t> open_folders_;
  ScanResult result_;
};

}  // namespace

ScanResult ScanFolder(Platform& platform, const ScanOptions& options) {
  return Scanner(platform, options).Run();
}

}  // namespace pbo
