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

  // One folder being scanned: its items and the next one to look at.
  struct Level {
    std::string path;
    std::vector<FolderItem> items;
    size_t next = 0;
    bool has_id = false;
  };

  // Depth first with a stack of its own, so that a deep tree cannot
  // exhaust the caller's stack: a subfolder is entered when it is met and
  // the folder's remaining items follow once it is done.
  void Scan(const std::string& source) {
    std::vector<Level> stack;
    Enter(source, !open_folders_.empty(), &stack);
    while (!stack.empty() && result_.too_large.empty()) {
      Level& level = stack.back();
      if (level.next == level.items.size()) {
        if (level.has_id) open_folders_.pop_back();
        stack.pop_back();
        continue;
      }
      const FolderItem item = level.items[level.next++];
      std::string full_path = level.path + "\\" + item.name;
      if (item.is_folder) {
        if (item.name == "." || item.name == "..") continue;
        uint64_t id = 0;
        bool has_id = platform_.Identity(full_path, &id);
        if (has_id && IsOpen(id)) continue;
        if (has_id) open_folders_.push_back(id);
        Enter(full_path, has_id, &stack);
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

  // Lists a folder onto the stack; one that cannot be listed adds nothing.
  void Enter(const std::string& path, bool has_id, std::vector<Level>* stack) {
    Level level;
    level.path = path;
    level.has_id = has_id;
    if (!platform_.ListFolder(path, &level.items)) level.items.clear();
    stack->push_back(std::move(level));
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
