#include "fault_matrix.h"

#include <gtest/gtest.h>

#include <iostream>

#include "archive_builder.h"

namespace pbo_test {

const char* OpName(Op op) {
  static const char* const kNames[] = {
      "ListFolder", "Identity",   "OpenRead",      "Pull",
      "CreateWrite", "Write",     "WriteAt",       "Close",
      "DeleteFile", "RenameFile", "CreateFolders", "DeleteTree",
      "SetFileStamp"};
  static_assert(sizeof(kNames) / sizeof(kNames[0]) == MemoryPlatform::kOpCount,
                "one name per operation");
  return op < MemoryPlatform::kOpCount ? kNames[op] : "?";
}

std::string FaultPoint::Describe() const {
  return std::string(OpName(op)) + " #" + std::to_string(nth) + " on " + path;
}

std::vector<FaultPoint> RecordFaultPoints(const MakePlatform& make,
                                          const RunWorkflow& run) {
  MemoryPlatform p = make();
  std::vector<FaultPoint> points;
  p.before_call = [&points, &p](Op op, const std::string& path) {
    points.push_back({op, p.Calls(op), path});
  };
  EXPECT_TRUE(run(p)) << "the clean run fails";
  EXPECT_TRUE(p.boxes.empty()) << "the clean run shows a box";
  return points;
}

void ReportMatrixSize(const std::string& what,
                      const std::vector<FaultPoint>& points) {
  int per_op[MemoryPlatform::kOpCount] = {};
  for (const FaultPoint& f : points) ++per_op[f.op];
  std::cout << "[ matrix   ] " << what << ": " << points.size() << " fault points (";
  const char* sep = "";
  for (int op = 0; op < MemoryPlatform::kOpCount; ++op) {
    if (per_op[op] == 0) continue;
    std::cout << sep << OpName(static_cast<Op>(op)) << " " << per_op[op];
    sep = ", ";
  }
  std::cout << ")\n";
  ::testing::Test::RecordProperty(what, static_cast<int>(points.size()));
}

std::string WordText(size_t n, unsigned seed) {
  static const char* const kWords[] = {"grass", "rock", "sand", "tree",
                                       "road",  "wall", "roof", "water"};
  std::string s;
  unsigned x = seed;
  while (s.size() < n) {
    x = x * 1103515245u + 12345u;
    s += kWords[(x >> 16) % 8];
    s += static_cast<char>('0' + (x >> 24) % 10);
  }
  s.resize(n);
  return s;
}

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

Snapshot TakeSnapshot(MemoryPlatform& p) {
  Snapshot s;
  for (const std::string& rel : p.Tree("C:")) {
    std::string path = "c:\\" + rel;
    s[path] = rel.back() == '\\' ? std::string() : Text(p.Bytes(path));
  }
  return s;
}

namespace {
bool Below(const std::string& path, const std::string& owned) {
  std::string root = Lower(owned);
  return path.compare(0, root.size(), root) == 0 &&
         (path.size() == root.size() || path[root.size()] == '\\');
}
}  // namespace

std::vector<std::string> ChangesOutside(const Snapshot& before,
                                        const Snapshot& after,
                                        const std::vector<std::string>& owned) {
  std::vector<std::string> changed;
  auto note = [&](const std::string& path) {
    for (const std::string& o : owned) {
      if (Below(path, o)) return;
    }
    changed.push_back(path);
  };
  for (const auto& [path, content] : before) {
    auto it = after.find(path);
    if (it == after.end() || it->second != content) note(path);
  }
  for (const auto& [path, content] : after) {
    if (before.count(path) == 0) note(path);
  }
  return changed;
}

}  // namespace pbo_test
