// UnpackArchive: reads the archive as a stream (header table first, then each
// entry's data in turn), so memory stays bounded by the buffers and the
// largest compressed entry. Every entry name is checked before anything on
// disk changes, and every failure after the archive is open is reported.
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "core/entry.h"
#include "core/lzss_decode.h"
#include "workflow/names.h"
#include "workflow/progress.h"
#include "workflow/workflows.h"

namespace pbo {
namespace {

std::string Message(const std::string& head, const std::string& path,
                    const std::string& cause) {
  return head + ": \r\n" + path + "\r\n" + cause;
}

// True for a folder name that is empty or only dots and spaces: such a name
// would make the output folder the destination or one of its parents.
bool IsBlankFolderName(const std::string& name) {
  return name.find_first_not_of(". ") == std::string::npos;
}

class Unpacker : private DecodeProgress {
 public:
  explicit Unpacker(Platform& platform) : p_(platform) {}

  bool Run(const char* archive_arg, const char* destination_arg) {
    archive_ = archive_arg == nullptr ? std::string() : archive_arg;
    std::string destination = PathArgument(destination_arg);
    if (!p_.IsFile(archive_)) {
      p_.ErrorBox(Message("File does not exists", archive_, "Process abortred."));
      return false;
    }
    p_.SetProgressRange(0, 1000);
    p_.SetProgressPos(0);
    bias_ = p_.TimeZoneBias();
    p_.SetProgressText("load file");
    std::unique_ptr<ReadFile> file = p_.OpenRead(archive_);
    if (!file) {
      return Stop(Message("Cann't open file", archive_,
                          "File can be opened by other process."));
    }
    try {
      ByteReader reader(*file);
      reader_ = &reader;
      return Work(destination);
    } catch (const std::exception&) {
      return Stop(Message("Cann't read file", archive_, "Not enough memory."));
    }
  }

 private:
  // Shows the error box. @return false, the call's result.
  bool Stop(const std::string& text) {
    p_.ErrorBox(text);
    return false;
  }

  // A read error in the archive; `incomplete` is the file it cut short, if
  // one was being written, so that the user knows which file to distrust.
  bool ReadError(const std::string& incomplete = std::string()) {
    std::string text = Message("Cann't read file", archive_, "Read error.");
    if (!incomplete.empty()) text += "\r\nFile is not complete: " + incomplete;
    return Stop(text);
  }

  bool Work(const std::string& destination) {
    size_t head = reader_->Ensure(kProductHeaderSize);
    if (HasProductHeader(reader_->data(), head)) reader_->Skip(kProductHeaderSize);
    if (reader_->failed()) return ReadError();

    p_.SetProgressText("read entries");
    std::vector<EntryRecord> entries;
    ReadStatus status = ReadHeaderTable(*reader_, &entries);
    if (reader_->failed()) return ReadError();
    if (status != ReadStatus::kOk) {
      return Stop(Message("Cann't read file", archive_,
                          "Header table ends before its last entry."));
    }
    for (const EntryRecord& e : entries) total_ += ProgressShare(e);
    entries.pop_back();  // the terminating entry
    for (const EntryRecord& e : entries) {
      if (const char* reason = UnsafeNameReason(e.name)) {
        return Stop(Message("Unsafe file name in archive", e.name, reason));
      }
    }

    out_ = UnpackOutputFolder(archive_, destination);
    if (IsBlankFolderName(LastComponent(out_))) {
      return Stop(Message("Cann't create directory", out_,
                          "Archive name gives no folder name."));
    }
    if (out_.size() > kMaxPathLength) {
      return Stop(Message("Cann't create directory", out_, "Path is too long."));
    }
    if (p_.IsFolder(out_) && !p_.DeleteTree(out_)) {
      // What could not be removed stays and is written over; but a folder
      // link that stays would lead an entry's file into its target.
      if (const std::string* link = LinkOnTheWay(entries)) {
        return Stop(Message("Cann't delete directory", *link,
                            "Folder link cannot be removed."));
      }
    }

    p_.SetProgressText("0 %");
    if (!entries.empty() && !p_.CreateFolders(out_)) {
      return Stop(Message("Cann't create directory", out_, "Process abortred."));
    }
    for (const EntryRecord& e : entries) {
      if (!UnpackEntry(e)) return false;
      ProgressPoint(p_, done_, total_);
    }
    return all_written_;
  }

  // Collects the folder links at `folder` and below it (`is_link` tells
  // whether `folder` itself is one); the links' contents are not entered.
  void CollectLinks(const std::string& folder, bool is_link) {
    if (is_link) {
      links_.push_back(folder);
      return;
    }
    std::vector<FolderItem> items;
    if (!p_.ListFolder(folder, &items)) return;
    for (const FolderItem& item : items) {
      if (item.is_folder) CollectLinks(folder + "\\" + item.name, item.is_link);
    }
  }

  // After the old output folder could not be removed whole: the first folder
  // link left there (the output folder itself included) that some entry's
  // file would be written through, or null when there is none.
  const std::string* LinkOnTheWay(const std::vector<EntryRecord>& entries) {
    size_t cut = out_.find_last_of('\\');
    std::string parent = cut == std::string::npos ? "." : out_.substr(0, cut);
    std::string name = cut == std::string::npos ? out_ : out_.substr(cut + 1);
    std::vector<FolderItem> items;
    bool out_is_link = false;
    if (p_.ListFolder(parent, &items)) {
      for (const FolderItem& item : items) {
        if (item.is_link && SameName(item.name, name)) out_is_link = true;
      }
    }
    CollectLinks(out_, out_is_link);
    for (const std::string& link : links_) {
      std::string below = link == out_ ? std::string() : link.substr(out_.size() + 1) + "\\";
      for (const EntryRecord& e : entries) {
        if (SameName(e.name.substr(0, below.size()), below)) return &link;
      }
    }
    return nullptr;
  }

  // Writes one entry's file, or reports why not. An entry whose folder cannot
  // be made is passed over (its data is read past) and the rest go on.
  // @return false when unpacking has to stop.
  bool UnpackEntry(const EntryRecord& e) {
    std::string folder = out_;
    size_t cut = e.name.rfind('\\');
    if (cut != std::string::npos) folder += "\\" + e.name.substr(0, cut);
    if (!p_.CreateFolders(folder)) {
      all_written_ = false;
      p_.ErrorBox(Message("Cann't create directory", folder,
                          "File is not unpacked: " + e.name));
      return SkipData(e);
    }
    std::string path = out_ + "\\" + e.name;
    bool ok = e.is_compressed() ? WriteCompressed(e, path) : WriteStored(e, path);
    if (ok) p_.SetFileStamp(path, e.timestamp, bias_);
    return ok;
  }

  std::unique_ptr<WriteFile> Create(const std::string& path) {
    std::unique_ptr<WriteFile> file = p_.CreateWrite(path);
    if (!file) {
      p_.ErrorBox(Message("Cann't create file", path,
                          "File can be opened by other process."));
    }
    return file;
  }

  bool WriteFailed(const std::string& path) {
    return Stop(Message("Cann't write file", path, "Write error."));
  }

  // A stored entry's data ended early: a read error or a cut archive.
  // `path` is the file written from it, empty when none was.
  bool DataEnded(const EntryRecord& e, const std::string& path) {
    if (reader_->failed()) return ReadError(path);
    return Stop(Message("File is corrupted", e.name,
                        "Archive ends before the end of its data."));
  }

  // Copies a stored entry's data-size bytes straight from the reader's
  // buffer into the file, so no entry is held in memory whole.
  bool WriteStored(const EntryRecord& e, const std::string& path) {
    std::unique_ptr<WriteFile> file = Create(path);
    if (!file) return false;
    uint64_t left = e.data_size > 0 ? static_cast<uint64_t>(e.data_size) : 0;
    while (left > 0) {
      size_t n = reader_->Ensure(1);
      if (n == 0) break;
      size_t take = static_cast<size_t>(left < n ? left : n);
      if (!file->Write(reader_->data(), take)) return WriteFailed(path);
      reader_->Advance(take);
      left -= take;
      done_ += static_cast<int64_t>(take);
    }
    bool closed = file->Close();
    if (left > 0) return DataEnded(e, path);
    return closed || WriteFailed(path);
  }

  bool WriteCompressed(const EntryRecord& e, const std::string& path) {
    std::vector<uint8_t> content;
    DecodeResult r;
    if (e.original_size > 0) {
      r = DecodeEntry(*reader_, e.original_size, &content, this, done_);
      done_ += static_cast<int64_t>(content.size());
      if (r.status == DecodeStatus::kOk && !r.checksum_matches()) {
        p_.ErrorBox("CRC is not matched. File is corrupted: " + e.name +
                    "\r\nOriginal crc:\t" +
                    std::to_string(static_cast<int32_t>(r.stored_checksum)) +
                    "\r\nCurrent crc:\t" +
                    std::to_string(static_cast<int32_t>(r.computed_checksum)));
      }
    }
    std::unique_ptr<WriteFile> file = Create(path);
    if (!file) return false;
    // What was decoded is written even from damaged data; the call then
    // reports the damage and stops, since the next entry cannot be found.
    if (!content.empty() && !file->Write(content.data(), content.size())) {
      return WriteFailed(path);
    }
    if (!file->Close()) return WriteFailed(path);
    if (r.status != DecodeStatus::kOk) {
      if (reader_->failed()) return ReadError(path);
      return Stop(Message("File is corrupted", e.name, DescribeDecodeStatus(r.status)));
    }
    return true;
  }

  // Reads past an entry's data without writing it.
  // @return false when the data is damaged and unpacking has to stop.
  bool SkipData(const EntryRecord& e) {
    if (!e.is_compressed()) {
      uint64_t want = e.data_size > 0 ? static_cast<uint64_t>(e.data_size) : 0;
      uint64_t got = reader_->Skip(want);
      done_ += static_cast<int64_t>(got);
      return got == want || DataEnded(e, std::string());
    }
    if (e.original_size <= 0) return true;
    std::vector<uint8_t> content;
    DecodeResult r = DecodeEntry(*reader_, e.original_size, &content, this, done_);
    done_ += static_cast<int64_t>(content.size());
    if (r.status == DecodeStatus::kOk) return true;
    if (reader_->failed()) return ReadError();
    return Stop(Message("File is corrupted", e.name, DescribeDecodeStatus(r.status)));
  }

  void OnProgressPoint(int64_t bytes_done) override {
    ProgressPoint(p_, bytes_done, total_);
  }

  Platform& p_;
  std::string archive_;
  std::string out_;
  std::vector<std::string> links_;  // links an old output folder kept
  ByteReader* reader_ = nullptr;
  int32_t bias_ = 0;
  int64_t total_ = 0;
  int64_t done_ = 0;
  bool all_written_ = true;
};

}  // namespace

bool UnpackArchive(Platform& platform, const char* archive,
                   const char* destination) {
  return Unpacker(platform).Run(archive, destination);
}

}  // namespace pbo
