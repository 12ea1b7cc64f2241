#include "memory_platform.h"

#include <algorithm>
#include <cstddef>

namespace pbo_test {

std::string LowerAscii(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  parts.reserve(8);
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find_first_of("\\/", start);
    if (end == std::string::npos) end = path.size();
    const char* part = path.data() + start;
    size_t length = end - start;
    if (length == 2 && part[0] == '.' && part[1] == '.') {
      if (parts.size() > 1) parts.pop_back();
    } else if (length != 1 || part[0] != '.') {
      while (length > 0 && (part[length - 1] == '.' || part[length - 1] == ' ')) --length;
      if (length > 0) parts.emplace_back(part, length);
    }
    start = end + 1;
  }
  return parts;
}

namespace {

// Appends a backslash (unless `key` is empty) and `part` in lower case.
void AppendPart(std::string* key, const std::string& part) {
  if (!key->empty()) *key += '\\';
  for (char c : part) *key += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::string ResolvePath(const std::string& path) {
  std::string key;
  key.reserve(path.size());
  for (const std::string& part : SplitPath(path)) AppendPart(&key, part);
  return key;
}

namespace {

using Op = MemoryPlatform::Op;

std::string ParentKey(const std::string& key) {
  size_t cut = key.rfind('\\');
  return cut == std::string::npos ? std::string() : key.substr(0, cut);
}

class MemoryReadFile : public pbo::ReadFile {
 public:
  MemoryReadFile(MemoryPlatform& owner, MemoryPlatform::Node& node,
                 std::string key)
      : owner_(owner), node_(node), key_(std::move(key)), data_(node.data) {
    ++node_.open;
  }
  ~MemoryReadFile() override {
    --node_.open;
    owner_.Released();
  }
  uint64_t size() const override { return data_.size(); }
  bool failed() const override { return failed_; }
  size_t Pull(uint8_t* dst, size_t capacity) override {
    size_t n = std::min({capacity, data_.size() - pos_, owner_.max_pull});
    if (!owner_.Enter(MemoryPlatform::kPull, key_)) {
      n /= 2;
      failed_ = true;
    }
    std::copy_n(data_.data() + pos_, n, dst);
    pos_ += n;
    return failed_ ? 0 : n;
  }

 private:
  MemoryPlatform& owner_;
  MemoryPlatform::Node& node_;
  std::string key_;
  std::vector<uint8_t> data_;  // the content when the file was opened
  size_t pos_ = 0;
  bool failed_ = false;
};

class MemoryWriteFile : public pbo::WriteFile {
 public:
  MemoryWriteFile(MemoryPlatform& owner, MemoryPlatform::Node& node,
                  std::string key)
      : owner_(owner), node_(node), key_(std::move(key)) {
    ++node_.open;
  }
  ~MemoryWriteFile() override { Release(); }
  bool Write(const uint8_t* data, size_t n) override {
    if (closed_) return false;
    bool ok = owner_.Enter(MemoryPlatform::kWrite, key_);
    node_.data.insert(node_.data.end(), data, data + (ok ? n : n / 2));
    return ok;
  }
  bool WriteAt(uint64_t offset, const uint8_t* data, size_t n) override {
    if (closed_ || !owner_.Enter(MemoryPlatform::kWriteAt, key_)) return false;
    if (offset + n > node_.data.size()) return false;
    std::copy_n(data, n, node_.data.begin() + static_cast<ptrdiff_t>(offset));
    return true;
  }
  bool Close() override {
    if (closed_) return false;
    bool ok = owner_.Enter(MemoryPlatform::kClose, key_);
    Release();
    return ok;
  }

 private:
  void Release() {
    if (closed_) return;
    closed_ = true;
    --node_.open;
    owner_.Released();
  }
  MemoryPlatform& owner_;
  MemoryPlatform::Node& node_;
  std::string key_;
  bool closed_ = false;
};

}  // namespace

// --- tree

std::string MemoryPlatform::Key(const std::string& path, bool follow_last) {
  std::vector<std::string> parts = SplitPath(path);
  std::string key;
  key.reserve(path.size() + 32);
  int hops = 0;
  for (size_t i = 0; i < parts.size(); ++i) {
    AppendPart(&key, parts[i]);
    bool last = i + 1 == parts.size();
    Node* node = Find(key);
    if (node != nullptr && !node->link.empty() && (!last || follow_last) &&
        ++hops < 64) {
      key = node->link;
    }
  }
  return key;
}

MemoryPlatform::Node* MemoryPlatform::Find(const std::string& key) {
  auto it = nodes_.find(key);
  return it == nodes_.end() ? nullptr : &it->second;
}

MemoryPlatform::Node& MemoryPlatform::Make(const std::string& key,
                                           const std::string& name,
                                           bool folder) {
  Node& node = nodes_[key];
  node = Node();
  node.folder = folder;
  node.name = name;
  node.id = next_id_;
  node.order = next_id_++;
  return node;
}

void MemoryPlatform::MakeParents(const std::string& key,
                                 const std::string& path) {
  std::vector<std::string> parts = SplitPath(path);
  std::string parent = ParentKey(key);
  std::string prefix;
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    AppendPart(&prefix, parts[i]);
    if (Find(prefix) == nullptr) Make(prefix, parts[i], true);
  }
}

void MemoryPlatform::AddFolder(const std::string& path) {
  std::string key = Key(path);
  MakeParents(key, path);
  if (Find(key) == nullptr) Make(key, SplitPath(path).back(), true);
}

void MemoryPlatform::AddFile(const std::string& path,
                             const std::string& content, uint64_t last_write) {
  AddFile(path, std::vector<uint8_t>(content.begin(), content.end()),
          last_write);
}

void MemoryPlatform::AddFile(const std::string& path,
                             const std::vector<uint8_t>& content,
                             uint64_t last_write) {
  std::string key = Key(path);
  MakeParents(key, path);
  Node& node = Make(key, SplitPath(path).back(), false);
  node.data = content;
  node.last_write = last_write;
}

void MemoryPlatform::AddLink(const std::string& path,
                             const std::string& target) {
  std::string key = Key(path, false);
  MakeParents(key, path);
  Make(key, SplitPath(path).back(), true).link = Key(target);
}

void MemoryPlatform::SetListedSize(const std::string& path, uint64_t size) {
  if (Node* node = Find(Key(path))) node->listed_size = size;
}

void MemoryPlatform::SetListingOrder(const std::string& folder,
                                     const std::vector<std::string>& names) {
  std::string key = Key(folder);
  uint64_t order = 0;
  for (const std::string& name : names) {
    if (Node* node = Find(key + "\\" + LowerAscii(name))) node->order = order++;
  }
}

bool MemoryPlatform::Exists(const std::string& path) {
  return Find(Key(path)) != nullptr;
}

std::string MemoryPlatform::Content(const std::string& path) {
  std::vector<uint8_t> bytes = Bytes(path);
  return std::string(bytes.begin(), bytes.end());
}

std::vector<uint8_t> MemoryPlatform::Bytes(const std::string& path) {
  Node* node = Find(Key(path));
  return node == nullptr ? std::vector<uint8_t>() : node->data;
}

uint64_t MemoryPlatform::LastWrite(const std::string& path) {
  Node* node = Find(Key(path));
  return node == nullptr ? 0 : node->last_write;
}

std::vector<std::string> MemoryPlatform::Tree(const std::string& root) {
  std::vector<std::string> out;
  ForEachBelow(root, [&out](const std::string& rel, const Node&) { out.push_back(rel); });
  return out;
}

void MemoryPlatform::ForEachBelow(
    const std::string& root,
    const std::function<void(const std::string&, const Node&)>& visit) {
  const std::string prefix = Key(root) + "\\";
  for (const auto& [key, node] : nodes_) {
    if (key.compare(0, prefix.size(), prefix) != 0) continue;
    visit(key.substr(prefix.size()) + (node.folder ? "\\" : ""), node);
  }
}

bool MemoryPlatform::Enter(Op op, const std::string& path) {
  int n = ++calls_[op];
  if (before_call) before_call(op, path);
  for (const auto& [fop, nth] : fail_nth_) {
    if (fop == op && nth == n) return false;
  }
  for (const auto& [fop, key] : fail_path_) {
    if (fop == op && key == Key(path)) return false;
  }
  return true;
}

// --- Platform: queries

bool MemoryPlatform::IsFolder(const std::string& path) {
  Node* node = Find(Key(path));
  return !path.empty() && node != nullptr && node->folder;
}

bool MemoryPlatform::IsFile(const std::string& path) {
  Node* node = Find(Key(path));
  return !path.empty() && node != nullptr && !node->folder;
}

bool MemoryPlatform::ListFolder(const std::string& path,
                                std::vector<pbo::FolderItem>* items) {
  items->clear();
  std::string key = Key(path);
  Node* folder = Find(key);
  if (!Enter(kListFolder, path) || folder == nullptr || !folder->folder) {
    return false;
  }
  std::vector<const Node*> children;
  std::string prefix = key + "\\";
  for (const auto& [k, node] : nodes_) {
    if (k.compare(0, prefix.size(), prefix) == 0 &&
        k.find('\\', prefix.size()) == std::string::npos) {
      children.push_back(&node);
    }
  }
  std::stable_sort(children.begin(), children.end(),
                   [](const Node* a, const Node* b) { return a->order < b->order; });
  for (const Node* node : children) {
    pbo::FolderItem item;
    item.name = node->name;
    item.is_folder = node->folder;
    item.is_link = !node->link.empty();
    item.size = node->listed_size != UINT64_MAX ? node->listed_size
                                                : node->data.size();
    item.last_write = node->last_write;
    items->push_back(item);
  }
  return true;
}

bool MemoryPlatform::Identity(const std::string& path, uint64_t* id) {
  Node* node = Find(Key(path));
  if (!Enter(kIdentity, path) || node == nullptr) return false;
  *id = node->id;
  return true;
}

// --- Platform: files

std::unique_ptr<pbo::ReadFile> MemoryPlatform::OpenRead(
    const std::string& path) {
  std::string key = Key(path);
  Node* node = Find(key);
  if (!Enter(kOpenRead, path) || node == nullptr || node->folder) return nullptr;
  ++open_handles_;
  return std::make_unique<MemoryReadFile>(*this, *node, key);
}

std::unique_ptr<pbo::WriteFile> MemoryPlatform::CreateWrite(
    const std::string& path) {
  std::string key = Key(path);
  Node* parent = Find(ParentKey(key));
  Node* node = Find(key);
  if (!Enter(kCreateWrite, path) || key.empty() || parent == nullptr ||
      !parent->folder || (node != nullptr && (node->folder || node->open > 0))) {
    return nullptr;
  }
  if (node == nullptr) node = &Make(key, SplitPath(path).back(), false);
  node->data.clear();
  node->last_write = kSampleFileTime + 1;  // "now"
  ++open_handles_;
  return std::make_unique<MemoryWriteFile>(*this, *node, key);
}

bool MemoryPlatform::DeleteFile(const std::string& path) {
  std::string key = Key(path, false);
  Node* node = Find(key);
  if (!Enter(kDeleteFile, path) || node == nullptr || node->folder ||
      node->open > 0) {
    return false;
  }
  nodes_.erase(key);
  return true;
}

bool MemoryPlatform::RenameFile(const std::string& from, const std::string& to) {
  std::string from_key = Key(from, false);
  std::string to_key = Key(to, false);
  Node* node = Find(from_key);
  Node* parent = Find(ParentKey(to_key));
  if (!Enter(kRenameFile, from) || node == nullptr || node->folder ||
      node->open > 0 || Find(to_key) != nullptr || parent == nullptr) {
    return false;
  }
  Node moved = *node;
  moved.name = SplitPath(to).back();
  nodes_.erase(from_key);
  nodes_[to_key] = moved;
  return true;
}

// --- Platform: folders

bool MemoryPlatform::CreateFolders(const std::string& path) {
  if (!Enter(kCreateFolders, path)) return false;
  std::vector<std::string> parts = SplitPath(path);
  std::string key;
  for (const std::string& part : parts) {
    AppendPart(&key, part);
    Node* node = Find(key);
    if (node == nullptr) {
      Make(key, part, true);
    } else if (!node->link.empty()) {
      key = node->link;
    } else if (!node->folder) {
      return false;
    }
  }
  return !parts.empty();
}

bool MemoryPlatform::DeleteTree(const std::string& path) {
  std::string key = Key(path, false);
  Node* node = Find(key);
  if (!Enter(kDeleteTree, path) || node == nullptr || !node->folder) {
    return node == nullptr;
  }
  // A link goes alone; below a real folder, links are removed as items, so
  // their targets' contents are never reached.
  std::string prefix = key + "\\";
  for (auto it = nodes_.begin(); it != nodes_.end();) {
    bool inside = node->link.empty() &&
                  it->first.compare(0, prefix.size(), prefix) == 0;
    it = inside && it->second.open == 0 ? nodes_.erase(it) : std::next(it);
  }
  nodes_.erase(key);
  return true;
}

// --- Platform: times (UTC throughout; no daylight saving)

namespace {
constexpr int64_t kUnixEpochAsFileTimeSeconds = 11644473600;

int64_t YearOfUnixSeconds(int64_t seconds) {
  // Days to civil year (proleptic Gregorian), after H. Hinnant's algorithm.
  int64_t z = (seconds >= 0 ? seconds : seconds - 86399) / 86400 + 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  return yoe + era * 400 + (mp >= 10 ? 1 : 0);
}
}  // namespace

int32_t MemoryPlatform::FileTimeToStamp(uint64_t last_write) {
  int64_t seconds = static_cast<int64_t>(last_write / 10000000) -
                    kUnixEpochAsFileTimeSeconds;
  return static_cast<int32_t>(seconds);
}

bool MemoryPlatform::SetFileStamp(const std::string& path, int32_t stamp,
                                  int32_t bias_minutes) {
  Node* node = Find(Key(path));
  if (!Enter(kSetFileStamp, path) || node == nullptr || node->folder) return false;
  int64_t local = int64_t{stamp} - int64_t{bias_minutes} * 60;
  int64_t year = YearOfUnixSeconds(local);
  if (year < 1980 || year > 2107) return false;
  local -= local % 2;  // DOS times count seconds in twos
  int64_t utc = local + int64_t{bias_minutes} * 60;
  node->last_write =
      static_cast<uint64_t>(utc + kUnixEpochAsFileTimeSeconds) * 10000000;
  return true;
}

// --- Platform: reporting

void MemoryPlatform::SetProgressRange(int low, int high) {
  reports.push_back("range " + std::to_string(low) + " " + std::to_string(high));
}

void MemoryPlatform::SetProgressPos(int pos) {
  reports.push_back("pos " + std::to_string(pos));
}

void MemoryPlatform::SetProgressText(const std::string& text) {
  reports.push_back("text " + text);
}

void MemoryPlatform::ErrorBox(const std::string& text) {
  reports.push_back("box " + text);
  boxes.push_back(text);
}

std::vector<std::string> MemoryPlatform::Texts() const {
  std::vector<std::string> out;
  for (const std::string& r : reports) {
    if (r.compare(0, 5, "text ") == 0) out.push_back(r.substr(5));
  }
  return out;
}

std::vector<int> MemoryPlatform::Positions() const {
  std::vector<int> out;
  for (const std::string& r : reports) {
    if (r.compare(0, 4, "pos ") == 0) out.push_back(std::stoi(r.substr(4)));
  }
  return out;
}

}  // namespace pbo_test
