#include "win32/win32_time.h"

#include <windows.h>

namespace pbo {
namespace {

constexpr int64_t kTicksPerSecond = 10000000;
// Seconds from 1601-01-01 (the file-time epoch) to 1970-01-01.
constexpr int64_t kSecondsFrom1601To1970 = 11644473600;

uint64_t ToTicks(const FILETIME& ft) {
  return (uint64_t{ft.dwHighDateTime} << 32) | ft.dwLowDateTime;
}

FILETIME FromTicks(uint64_t ticks) {
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(ticks);
  ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return ft;
}

}  // namespace

int32_t StampFromLocalTicks(uint64_t local_ticks, int32_t bias) {
  // Milliseconds are cut when the time is split, so whole seconds are the
  // ticks divided down; file times are never negative, so this is a floor.
  const int64_t seconds = static_cast<int64_t>(local_ticks / kTicksPerSecond) -
                          kSecondsFrom1601To1970 + int64_t{bias} * 60;
  return static_cast<int32_t>(static_cast<uint32_t>(seconds));
}

int32_t CurrentTimeZoneBias() {
  TIME_ZONE_INFORMATION zone;
  if (GetTimeZoneInformation(&zone) == TIME_ZONE_ID_INVALID) return 0;
  return static_cast<int32_t>(zone.Bias);
}

int32_t StampFromFileTime(uint64_t utc_ticks) {
  const int32_t bias = CurrentTimeZoneBias();
  const FILETIME utc = FromTicks(utc_ticks);
  FILETIME local;
  if (!FileTimeToLocalFileTime(&utc, &local)) local = utc;
  return StampFromLocalTicks(ToTicks(local), bias);
}

bool ApplyStampToFile(const std::string& path, int32_t stamp, int32_t bias) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;

  bool ok = true;
  const int64_t local_seconds =
      int64_t{stamp} - int64_t{bias} * 60 + kSecondsFrom1601To1970;
  SYSTEMTIME local;
  const FILETIME local_ft =
      FromTicks(static_cast<uint64_t>(local_seconds) * kTicksPerSecond);
  if (local_seconds >= 0 && FileTimeToSystemTime(&local_ft, &local) &&
      local.wYear >= 1980 && local.wYear <= 2107) {
    const WORD dos_date = static_cast<WORD>(((local.wYear - 1980) << 9) |
                                            (local.wMonth << 5) | local.wDay);
    const WORD dos_time = static_cast<WORD>(
        (local.wHour << 11) | (local.wMinute << 5) | (local.wSecond / 2));
    FILETIME dos_local;
    FILETIME utc;
    ok = DosDateTimeToFileTime(dos_date, dos_time, &dos_local) &&
         LocalFileTimeToFileTime(&dos_local, &utc) &&
         SetFileTime(file, nullptr, nullptr, &utc);
  }
  CloseHandle(file);
  return ok;
}

}  // namespace pbo
