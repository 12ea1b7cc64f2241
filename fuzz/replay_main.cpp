// Replays fuzz inputs without libFuzzer: every file named on the command
// line, or every file inside a folder named there, goes once through
// LLVMFuzzerTestOneInput. A target signals a finding by aborting.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool Replay(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", file.string().c_str());
    return false;
  }
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int files = 0;
  bool ok = true;
  for (int a = 1; a < argc; ++a) {
    const std::filesystem::path arg(argv[a]);
    if (std::filesystem::is_directory(arg)) {
      for (const auto& entry : std::filesystem::directory_iterator(arg)) {
        if (!entry.is_regular_file()) continue;
        ok = Replay(entry.path()) && ok;
        ++files;
      }
    } else {
      ok = Replay(arg) && ok;
      ++files;
    }
  }
  std::printf("%d inputs replayed\n", files);
  return ok && files > 0 ? 0 : 1;
}
