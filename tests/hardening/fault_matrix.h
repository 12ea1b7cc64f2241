// Tools of the fault matrices: recording every I/O call a workflow makes on
// the in-memory platform, rerunning it with exactly one of those calls
// failing, and comparing snapshots of the whole file system.
#pragma once
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "memory_platform.h"

namespace pbo_test {

using Op = MemoryPlatform::Op;

// Name of an operation, for test messages.
const char* OpName(Op op);

// One I/O call of a clean run: the nth call of `op`, made on `path`.
struct FaultPoint {
  Op op = MemoryPlatform::kOpCount;
  int nth = 0;
  std::string path;
  std::string Describe() const;
};

using MakePlatform = std::function<MemoryPlatform()>;
using RunWorkflow = std::function<bool(MemoryPlatform&)>;

// Runs the workflow once on a fresh platform and records every I/O call.
// The clean run must succeed without a box; a failure is reported through
// gtest. @return the calls in the order made.
std::vector<FaultPoint> RecordFaultPoints(const MakePlatform& make,
                                          const RunWorkflow& run);

// Prints the size of a matrix, with the count per operation, as a plain
// line and as a test property.
void ReportMatrixSize(const std::string& what,
                      const std::vector<FaultPoint>& points);

// Every file and folder on drive C: (folder keys end with a backslash), by
// its lower-case path, with the file's bytes.
using Snapshot = std::map<std::string, std::string>;
Snapshot TakeSnapshot(MemoryPlatform& p);

// Lower-case paths that differ between two snapshots (added, removed or
// changed) and lie outside every one of `owned` (each a path that the
// workflow may change, itself and everything below it).
std::vector<std::string> ChangesOutside(const Snapshot& before,
                                        const Snapshot& after,
                                        const std::vector<std::string>& owned);

std::string Lower(std::string s);

// n bytes of words and digits with repeats near and far, so that the
// encoder writes back references of many distances and lengths.
std::string WordText(size_t n, unsigned seed);

}  // namespace pbo_test
