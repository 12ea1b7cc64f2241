// PackFolder: the packing preamble, the scan, the header table and the data
// area of both packers. Any failure after the output file exists removes the
// partial archive and puts back the archive this call moved to ".bak", so a
// failed call leaves the destination as it found it.
#include <exception>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "core/entry.h"
#include "core/le.h"
#include "core/lzss_encode.h"
#include "workflow/names.h"
#include "workflow/progress.h"
#include "workflow/scan.h"
#include "workflow/workflows.h"

namespace pbo {
namespace {

constexpr size_t kCopyChunk = size_t{1} << 20;

std::string Message(const std::string& head, const std::string& path,
                    const std::string& cause) {
  return head + ": \r\n" + path + "\r\n" + cause;
}

// Reads up to n bytes, pulling until n have come or the file ends.
// @return the count read.
size_t PullFull(ReadFile& file, uint8_t* dst, size_t n) {
  size_t got = 0;
  while (got < n) {
    size_t m = file.Pull(dst + got, n - got);
    if (m == 0) break;
    got += m;
  }
  return got;
}

class Packer : private EncodeProgress {
 public:
  Packer(Platform& platform, PackMode mode) : p_(platform), mode_(mode) {}

  bool Run(const char* source_arg, const char* destination_arg) {
    std::string source = PathArgument(source_arg);
    std::string destination = PathArgument(destination_arg);
    if (!p_.IsFolder(source)) return MissingFolder(source);
    if (!destination.empty() && !p_.IsFolder(destination)) {
      return MissingFolder(destination);
    }
    p_.SetProgressRange(0, 1000);
    p_.SetProgressPos(0);
    if (EndsWithBackslash(source)) source.pop_back();
    source_ = source;
    out_ = PackOutputPath(source, destination);
    bak_ = out_ + ".bak";
    if (!Backup()) return false;
    file_ = p_.CreateWrite(out_);
    if (!file_) {
      std::string text = Message("Cann't create file", out_,
                                 "File can be opened by other process.");
      RestoreBackup(&text);
      p_.ErrorBox(text);
      return false;
    }
    try {
      return Work();
    } catch (const std::exception&) {
      return Fail(Message("Cann't pack file", current_.empty() ? out_ : current_,
                          "Not enough memory."));
    }
  }

 private:
  bool MissingFolder(const std::string& path) {
    p_.ErrorBox(Message("Directory does not exists", path, "Process abortred."));
    return false;
  }

  // Moves an existing archive to ".bak", replacing an older backup. When that
  // cannot be done the call stops before the archive is touched.
  bool Backup() {
    if (!p_.IsFile(out_)) return true;
    if ((p_.IsFile(bak_) && !p_.DeleteFile(bak_)) ||
        !p_.RenameFile(out_, bak_)) {
      p_.ErrorBox(Message("Cann't create backup file", bak_,
                          "File can be opened by other process."));
      return false;
    }
    made_backup_ = true;
    return true;
  }

  // Puts the backup made by this call back under the archive's name; when
  // that fails, tells the user where the previous archive is.
  void RestoreBackup(std::string* text) {
    if (made_backup_ && !p_.RenameFile(bak_, out_)) {
      *text += "\r\nPrevious archive is kept as: \r\n" + bak_;
    }
  }

  // Closes and removes the partial archive, restores the backup, then shows
  // the error box; a partial archive that cannot be removed is named in it,
  // so that it is not taken for a good one. @return false.
  bool Fail(std::string text) {
    source_file_.reset();
    file_.reset();
    if (!p_.DeleteFile(out_) && p_.IsFile(out_)) {
      text += "\r\nIncomplete archive is left as: \r\n" + out_;
    }
    RestoreBackup(&text);
    p_.ErrorBox(text);
    return false;
  }

  bool WriteFailed() { return Fail(Message("Cann't write file", out_, "Write error.")); }

  bool Work() {
    p_.SetProgressText("read entries");
    ScanOptions options;
    options.source = source_;
    options.compressed = mode_ == PackMode::kCompressed;
    options.excluded_paths = {out_, bak_};
    scan_ = ScanFolder(p_, options);
    if (!scan_.too_large.empty()) {
      return Fail(Message("Cann't pack file", scan_.too_large,
                          "File is 2 GB or larger."));
    }
    std::vector<EntryRecord> table = scan_.records;
    table.emplace_back();  // the terminating entry: empty name, fields 0
    std::vector<uint8_t> header = LayoutHeaderTable(table);
    if (!file_->Write(header.data(), header.size())) return WriteFailed();
    header = std::vector<uint8_t>();

    for (size_t i = 0; i < scan_.records.size(); ++i) {
      bool ok = mode_ == PackMode::kCompressed ? PackCompressed(i, table[i])
                                               : PackStored(i);
      if (!ok) return false;
    }
    bool closed = file_->Close();
    file_.reset();
    if (!closed) return WriteFailed();
    return true;
  }

  // Opens the i-th file and checks that it still has the size of the scan.
  // @return false after Fail.
  bool OpenSource(size_t i) {
    current_ = source_ + "\\" + scan_.paths[i];
    source_file_ = p_.OpenRead(current_);
    if (!source_file_) {
      return Fail(Message("Cann't open file", current_,
                          "File can be opened by other process."));
    }
    if (source_file_->size() != scan_.sizes[i]) return SizeChanged();
    return true;
  }

  bool SizeChanged() {
    return Fail(Message("Cann't read file", current_, "File size has changed."));
  }

  // A short read: a read error, or a file cut since it was opened.
  bool ReadFailed() {
    if (source_file_->failed()) {
      return Fail(Message("Cann't read file", current_, "Read error."));
    }
    return SizeChanged();
  }

  bool PackStored(size_t i) {
    uint64_t size = scan_.sizes[i];
    if (size == 0) return true;
    if (!OpenSource(i)) return false;
    // The copy buffer grows to the largest piece needed, at most 1 MiB.
    const size_t piece = static_cast<size_t>(size < kCopyChunk ? size : kCopyChunk);
    if (chunk_.size() < piece) chunk_.resize(piece);
    for (uint64_t left = size; left > 0;) {
      size_t want = static_cast<size_t>(left < kCopyChunk ? left : kCopyChunk);
      if (PullFull(*source_file_, chunk_.data(), want) != want) return ReadFailed();
      if (!file_->Write(chunk_.data(), want)) return WriteFailed();
      left -= want;
    }
    source_file_.reset();
    done_ += static_cast<int64_t>(size);
    ProgressPoint(p_, done_, scan_.total);
    return true;
  }

  bool PackCompressed(size_t i, const EntryRecord& record) {
    uint64_t size = scan_.sizes[i];
    if (size == 0) return true;
    if (!OpenSource(i)) return false;
    std::vector<uint8_t> content(static_cast<size_t>(size));
    if (PullFull(*source_file_, content.data(), content.size()) != size) {
      return ReadFailed();
    }
    source_file_.reset();
    file_base_ = done_;
    std::vector<uint8_t> data = CompressBlock(content.data(), content.size(), this);
    content = std::vector<uint8_t>();
    if (data.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
      return Fail(Message("Cann't pack file", current_,
                          "Compressed data is 2 GB or larger."));
    }
    if (!file_->Write(data.data(), data.size())) return WriteFailed();
    uint8_t field[4];
    StoreLE32(field, static_cast<uint32_t>(data.size()));
    if (!file_->WriteAt(static_cast<uint64_t>(record.data_size_pos), field, 4)) {
      return WriteFailed();
    }
    done_ = file_base_ + static_cast<int64_t>(size);
    ProgressPoint(p_, done_, scan_.total);
    return true;
  }

  // The encoder's group ends: a progress point whenever the bytes done over
  // the whole call reach a multiple of 1000.
  void OnGroupEnd(size_t encoded) override {
    done_ = file_base_ + static_cast<int64_t>(encoded);
    if (done_ % 1000 == 0) ProgressPoint(p_, done_, scan_.total);
  }

  Platform& p_;
  PackMode mode_;
  std::string source_;
  std::string out_;
  std::string bak_;
  bool made_backup_ = false;
  std::unique_ptr<WriteFile> file_;
  std::unique_ptr<ReadFile> source_file_;
  std::string current_;  // the source file being packed, for messages
  ScanResult scan_;
  std::vector<uint8_t> chunk_;  // copy buffer of stored files
  int64_t done_ = 0;
  int64_t file_base_ = 0;
};

}  // namespace

bool PackFolder(Platform& platform, const char* source,
                const char* destination, PackMode mode) {
  return Packer(platform, mode).Run(source, destination);
}

}  // namespace pbo
