#include "core/lzss_decode.h"

#include <algorithm>
#include <cstring>

#include "core/checksum.h"
#include "core/le.h"

namespace pbo {

namespace {

constexpr size_t kMaxGroupInput = 17;    // flag byte + 8 references
constexpr size_t kMaxGroupOutput = 144;  // 8 references of 18 bytes
constexpr size_t kMaxDistance = 4095;
constexpr size_t kCopySlack = 32;  // word copies may write this far past a group
// Input the fast decoder wants buffered: a whole group, plus the 24-byte
// read of a literal at the group's last item.
constexpr size_t kFastInput = kMaxGroupInput + 24;
constexpr int kProgressStep = 1000;

uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

void Store64(uint8_t* p, uint64_t v) { std::memcpy(p, &v, 8); }

// The output buffer of one entry. Its size runs ahead of the bytes produced
// (`pos`) and grows to twice the bytes produced, or to what the buffered
// input (up to 64 KiB of it) can fill, whichever is more; never beyond the
// original size and its copy slack. A forged original size therefore costs
// memory only in proportion to the data actually decoded. Bytes the vector
// already holds serve as room as they are (only bytes below `pos` are ever
// read), which spares zero-filling a buffer reused from entry to entry.
class Output {
 public:
  Output(std::vector<uint8_t>* out, size_t target) : out_(out), target_(target) {}

  // Makes room for `need` more bytes (plus the copy slack, where the entry
  // allows it) after `pos`, given `input` bytes of buffered input.
  void Reserve(size_t pos, size_t need, size_t input) {
    const size_t limit = target_ + kCopySlack;
    if (out_->size() >= std::min(pos + need + kCopySlack, limit)) return;
    // What the buffered input can produce, counted in whole groups.
    const size_t producible =
        (std::min<size_t>(input, size_t{1} << 16) / kMaxGroupInput + 1) *
        kMaxGroupOutput;
    size_t size = std::max(pos + need, std::max(2 * pos, pos + producible));
    size = std::min(size + kCopySlack, limit);
    out_->reserve(size);
    out_->resize(size);
  }

  uint8_t* data() { return out_->data(); }
  size_t size() const { return out_->size(); }
  void Finish(size_t pos) { out_->resize(pos); }

 private:
  std::vector<uint8_t>* out_;
  size_t target_;
};

// Appends a back reference at out[pos] from pos - distance, byte by byte,
// with spaces for positions before the output's start.
void CopyReference(uint8_t* out, size_t pos, size_t distance, size_t length) {
  size_t j = 0;
  for (; j < length && pos + j < distance; ++j) out[pos + j] = ' ';
  const uint8_t* src = out + pos - distance;
  for (; j < length; ++j) out[pos + j] = src[j];
}

// Tracks (done_before + produced) modulo 1000 so that the per-group test of
// the progress rule costs no division.
class ProgressClock {
 public:
  ProgressClock(DecodeProgress* progress, int64_t done_before)
      : progress_(progress), done_before_(done_before) {
    const int64_t r = done_before % kProgressStep;
    remainder_ = static_cast<int>(r < 0 ? r + kProgressStep : r);
  }

  // Called at each group end with the group's output count.
  void GroupEnd(size_t group_output, size_t produced) {
    remainder_ += static_cast<int>(group_output);
    while (remainder_ >= kProgressStep) remainder_ -= kProgressStep;
    if (remainder_ == 0 && progress_ != nullptr)
      progress_->OnProgressPoint(done_before_ + static_cast<int64_t>(produced));
  }

 private:
  DecodeProgress* progress_;
  int64_t done_before_;
  int remainder_;
};

// Appends a back reference whose distance is below 16 at op (op - distance
// lies within the output): word copies where each word's source lies
// wholly before its target, a fill for distance 1, bytes otherwise.
inline void CopyNear(uint8_t* op, size_t distance, size_t length) {
  const uint8_t* src = op - distance;
  if (distance >= 8) {
    Store64(op, Load64(src));
    Store64(op + 8, Load64(src + 8));
    Store64(op + 16, Load64(src + 16));
  } else if (distance == 1) {
    std::memset(op, src[0], length);
  } else {
    for (size_t j = 0; j < length; ++j) op[j] = src[j];
  }
}

// Decodes the eight items of one group at *ip_io to *op_io, with room for
// 24-byte over-reads and over-writes. The choice between a literal and a
// reference is made without branches: both are a 24-byte copy, from the
// input or from the output. References nearer than 16 bytes take CopyNear.
// @return false on a reference with distance 0 (the pointers are then
//         somewhere inside the group).
inline bool DecodeGroupItems(unsigned flags, const uint8_t** ip_io, uint8_t** op_io) {
  const uint8_t* ip = *ip_io;
  uint8_t* op = *op_io;
#pragma GCC unroll 8
  for (int item = 0; item < 8; ++item) {
    const size_t literal = (flags >> item) & 1;
    const size_t distance = ip[0] | (size_t{ip[1]} & 0xF0) << 4;
    const size_t length = (ip[1] & 0x0F) + 3;
    if (__builtin_expect((distance | (literal << 12)) < 16, 0)) {  // a reference nearer than 16
      if (distance == 0) return false;
      CopyNear(op, distance, length);
      op += length;
      ip += 2;
      continue;
    }
    const uintptr_t pick = uintptr_t{0} - literal;  // all ones for a literal
    const uint8_t* const src = reinterpret_cast<const uint8_t*>(
        (reinterpret_cast<uintptr_t>(ip) & pick) |
        (reinterpret_cast<uintptr_t>(op - distance) & ~pick));
    std::memcpy(op, src, 16);
    Store64(op + 16, Load64(src + 16));
    op += (length & ~pick) | (1 & pick);
    ip += 2 - literal;
  }
  *ip_io = ip;
  *op_io = op;
  return true;
}

// Decodes whole groups without per-item checks while the input holds a full
// group and the over-read of its last item, the output is far enough from
// its start that no reference reaches before it, and far enough from the
// original size that no group reaches it. Every item copies 24 bytes: a
// literal from the input, a reference from the output; the surplus is
// overwritten by the next item or lies in the output's slack.
// A group with a reference of distance 0 is left unread, the reader at its
// flag byte, for the checked decoder to meet and report.
void DecodeFastGroups(ByteReader& in, Output& output, size_t target, size_t* pos_io,
                      ProgressClock& clock) {
  size_t pos = *pos_io;
  bool ok = true;
  while (pos >= kMaxDistance && target - pos > kMaxGroupOutput) {
    const size_t avail = in.Ensure(kFastInput);
    if (avail < kFastInput) break;
    output.Reserve(pos, kMaxGroupOutput, avail);
    const uint8_t* ip = in.data();
    const uint8_t* const ip_end = ip + avail - kFastInput;  // last safe group start
    uint8_t* const base = output.data();
    // Groups fit while the output has room for one more with its slack.
    const size_t room_end =
        std::min(output.size() - kCopySlack - kMaxGroupOutput, target - kMaxGroupOutput - 1);
    while (ip <= ip_end && pos <= room_end) {
      const uint8_t* const group_start = ip;
      const size_t group_pos = pos;
      const unsigned flags = *ip++;
      uint8_t* op = base + pos;
      if (flags == 0xFF) {
        std::memcpy(op, ip, 8);
        ip += 8;
        op += 8;
      } else if (!DecodeGroupItems(flags, &ip, &op)) {
        ip = group_start;
        op = base + group_pos;
        ok = false;
        break;
      }
      pos = static_cast<size_t>(op - base);
      clock.GroupEnd(pos - group_pos, pos);
    }
    in.Advance(static_cast<size_t>(ip - in.data()));
    if (!ok) break;
  }
  *pos_io = pos;
}

}  // namespace

const char* DescribeDecodeStatus(DecodeStatus s) {
  switch (s) {
    case DecodeStatus::kOk:
      return "decoded";
    case DecodeStatus::kTruncatedData:
      return "compressed data ends before the end of the file";
    case DecodeStatus::kTruncatedChecksum:
      return "compressed data ends inside the checksum";
    case DecodeStatus::kZeroDistance:
      return "corrupt compressed data: back reference with distance 0";
    case DecodeStatus::kPastOriginalSize:
      return "corrupt compressed data: back reference runs past the end of the file";
  }
  return "unknown decoder status";
}

DecodeResult DecodeEntry(ByteReader& in, int32_t original_size,
                         std::vector<uint8_t>* out, DecodeProgress* progress,
                         int64_t done_before) {
  DecodeResult result;
  out->clear();
  // An empty file has no entry data at all: no group and no checksum.
  if (original_size <= 0) return result;
  const size_t target = static_cast<size_t>(original_size);
  Output output(out, target);
  ProgressClock clock(progress, done_before);
  size_t pos = 0;

  while (pos < target && result.status == DecodeStatus::kOk) {
    DecodeFastGroups(in, output, target, &pos, clock);
    // One group with every item checked: near the output's start or end,
    // at the end of the input, or at a bad reference.
    uint8_t flags;
    if (!in.ReadByte(&flags)) {
      result.status = DecodeStatus::kTruncatedData;
      break;
    }
    const size_t group_pos = pos;
    for (int bit = 0; bit < 8 && pos < target; ++bit) {
      output.Reserve(pos, 18, in.buffered());
      uint8_t* base = output.data();
      if (flags & (1u << bit)) {
        if (!in.ReadByte(&base[pos])) {
          result.status = DecodeStatus::kTruncatedData;
          break;
        }
        ++pos;
        continue;
      }
      uint8_t ref[2];
      if (in.Read(ref, 2) != 2) {
        result.status = DecodeStatus::kTruncatedData;
        break;
      }
      const size_t distance = ref[0] | (size_t{ref[1]} & 0xF0) << 4;
      const size_t length = (ref[1] & 0x0F) + 3;
      if (distance == 0) {
        result.status = DecodeStatus::kZeroDistance;
        break;
      }
      if (length > target - pos) {
        result.status = DecodeStatus::kPastOriginalSize;
        break;
      }
      CopyReference(base, pos, distance, length);
      pos += length;
    }
    if (result.status != DecodeStatus::kOk) break;
    clock.GroupEnd(pos - group_pos, pos);
  }

  output.Finish(pos);
  result.computed_checksum = EntryChecksum(out->data(), out->size());
  if (result.status == DecodeStatus::kOk) {
    uint8_t sum[4];
    if (in.Read(sum, 4) != 4) {
      result.status = DecodeStatus::kTruncatedChecksum;
    } else {
      result.stored_checksum = LoadLE32(sum);
    }
  }
  return result;
}

}  // namespace pbo
