// An in-memory Platform for tests: a tree of folders, files and folder links
// keyed by path (compared without case, like Windows, with "." and ".."
// resolved and trailing dots and spaces dropped from each part, as the system
// does), with controllable listing order, recorded progress reports and error
// boxes, and fault injection.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "workflow/platform.h"

namespace pbo_test {

// FILETIME of 2005-07-07 12:00:00 UTC; archive time stamp 1120737600.
constexpr uint64_t kSampleFileTime = 127652112000000000ull;

// ASCII letters of `s` in lower case; other bytes as they are.
std::string LowerAscii(std::string s);

// The parts of a path as the system resolves it: split at either slash, "."
// dropped, ".." going up (never above the first part, the drive), trailing
// dots and spaces dropped from each part, empty parts dropped; case kept.
// @return the parts in order; empty for a path of only separators and dots.
std::vector<std::string> SplitPath(const std::string& path);

// The key the platform files `path` under when no folder link lies on its
// way: SplitPath's parts lower-cased and joined by backslashes ("C:/a/./B"
// gives "c:\a\b").
std::string ResolvePath(const std::string& path);

class MemoryPlatform : public pbo::Platform {
 public:
  enum Op {
    kListFolder, kIdentity, kOpenRead, kPull, kCreateWrite, kWrite, kWriteAt,
    kClose, kDeleteFile, kRenameFile, kCreateFolders, kDeleteTree,
    kSetFileStamp, kOpCount
  };

  // --- building the tree (parents are created as needed)
  void AddFolder(const std::string& path);
  void AddFile(const std::string& path, const std::string& content,
               uint64_t last_write = kSampleFileTime);
  void AddFile(const std::string& path, const std::vector<uint8_t>& content,
               uint64_t last_write = kSampleFileTime);
  // A folder link at `path` that leads to the folder `target`.
  void AddLink(const std::string& path, const std::string& target);
  // Makes the listing report `size` for a file instead of its length.
  void SetListedSize(const std::string& path, uint64_t size);
  // Lists the named items of a folder first, in this order; others follow
  // in creation order (the default listing order).
  void SetListingOrder(const std::string& folder,
                       const std::vector<std::string>& names);

  // --- inspection
  bool Exists(const std::string& path);
  std::string Content(const std::string& path);  // "" when missing
  std::vector<uint8_t> Bytes(const std::string& path);
  uint64_t LastWrite(const std::string& path);
  // Every path below `root` (files as "a\b", folders as "a\"), sorted.
  std::vector<std::string> Tree(const std::string& root);
  struct Node;
  // Calls `visit` with each path of Tree(root) and the item's node (a folder
  // link's own node, not its target's), in the same order.
  void ForEachBelow(const std::string& root,
                    const std::function<void(const std::string&, const Node&)>& visit);
  int OpenHandles() const { return open_handles_; }

  // --- fault injection
  // The nth call of `op` counted from the platform's creation fails; a
  // failing Write or Pull first moves half of its bytes (a short transfer).
  void FailCall(Op op, int nth) { fail_nth_.push_back({op, nth}); }
  // Every call of `op` on `path` fails.
  void FailPath(Op op, const std::string& path) {
    fail_path_.push_back({op, Key(path)});
  }
  int Calls(Op op) const { return calls_[op]; }
  // Runs at the start of every call of an operation, before its faults.
  std::function<void(Op, const std::string&)> before_call;
  // Largest byte count one Pull returns.
  size_t max_pull = 1000;

  // --- reporting, recorded as "range 0 1000", "pos 250", "text 25 %",
  // "pump" and "box <text>" in call order
  std::vector<std::string> reports;
  std::vector<std::string> boxes;
  std::vector<std::string> Texts() const;  // the label texts in order
  std::vector<int> Positions() const;      // the bar positions in order
  int32_t bias = 0;                        // TimeZoneBias()

  // --- Platform
  bool IsFolder(const std::string& path) override;
  bool IsFile(const std::string& path) override;
  bool ListFolder(const std::string& path,
                  std::vector<pbo::FolderItem>* items) override;
  bool Identity(const std::string& path, uint64_t* id) override;
  std::unique_ptr<pbo::ReadFile> OpenRead(const std::string& path) override;
  std::unique_ptr<pbo::WriteFile> CreateWrite(const std::string& path) override;
  bool DeleteFile(const std::string& path) override;
  bool RenameFile(const std::string& from, const std::string& to) override;
  bool CreateFolders(const std::string& path) override;
  bool DeleteTree(const std::string& path) override;
  int32_t FileTimeToStamp(uint64_t last_write) override;
  int32_t TimeZoneBias() override { return bias; }
  bool SetFileStamp(const std::string& path, int32_t stamp,
                    int32_t bias_minutes) override;
  void SetProgressRange(int low, int high) override;
  void SetProgressPos(int pos) override;
  void SetProgressText(const std::string& text) override;
  void PumpMessages() override { reports.push_back("pump"); }
  void ErrorBox(const std::string& text) override;

  // Used by the file objects.
  struct Node {
    bool folder = false;
    std::string link;  // canonical key of the target, for a folder link
    std::string name;  // the item's own name as created
    std::vector<uint8_t> data;
    uint64_t last_write = 0;
    uint64_t listed_size = UINT64_MAX;  // UINT64_MAX: the data's length
    uint64_t id = 0;
    uint64_t order = 0;
    int open = 0;
  };
  Node* Find(const std::string& key);
  bool Enter(Op op, const std::string& path);  // counts; false when failing
  void Released() { --open_handles_; }

 private:
  // Canonical key: parts lower-cased, joined by backslashes; links on the
  // way are followed, and the last part too when follow_last is set.
  std::string Key(const std::string& path, bool follow_last = true);
  Node& Make(const std::string& key, const std::string& name, bool folder);
  void MakeParents(const std::string& key, const std::string& path);

  std::map<std::string, Node> nodes_;
  uint64_t next_id_ = 1;
  std::array<int, kOpCount> calls_{};
  std::vector<std::pair<Op, int>> fail_nth_;
  std::vector<std::pair<Op, std::string>> fail_path_;
  int open_handles_ = 0;
};

}  // namespace pbo_test
