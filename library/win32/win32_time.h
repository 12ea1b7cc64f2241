// Time stamps of the archive (signed seconds since 1970-01-01 00:00:00 UTC)
// against the file times of the system.
#pragma once
#include <cstdint>
#include <string>

namespace pbo {

// The time stamp of a local file time (100 ns ticks since 1601-01-01, local)
// under the time-zone bias `bias` (minutes, UTC = local + bias): the whole
// seconds from 1970 to the local time, plus the bias, wrapped to 32 bits.
// Exact integer arithmetic: a time on a whole second never loses one.
int32_t StampFromLocalTicks(uint64_t local_ticks, int32_t bias);

// The time stamp of a file's last-write time (FILETIME, UTC). The time is
// made local by the system's current rule (daylight saving included when it
// is in effect now, whatever the file's date), and only the zone's base
// bias is added back, so while daylight saving is in effect the stamp comes
// out larger by the daylight shift.
int32_t StampFromFileTime(uint64_t utc_ticks);

// The base bias of the system's time zone in minutes (UTC = local + bias),
// without its standard or daylight adjustments; 0 if it cannot be read.
int32_t CurrentTimeZoneBias();

// Sets the last-write time of the file `path` from the stamp: local time =
// 1970 + stamp seconds - bias minutes, kept to the DOS date/time resolution
// (even seconds), then made universal by the system's current rule. A local
// year outside 1980..2107 leaves the file's times alone.
// @return false when the file cannot be opened or its time not set.
bool ApplyStampToFile(const std::string& path, int32_t stamp, int32_t bias);

}  // namespace pbo
