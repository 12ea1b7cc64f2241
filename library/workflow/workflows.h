// The library's three working functions, written once against Platform.
// The DLL's exports are thin wrappers around these.
#pragma once
#include "workflow/platform.h"

namespace pbo {

enum class PackMode {
  kStored,      // every entry stored as is
  kCompressed,  // every entry LZSS-compressed with its checksum
};

// Packs every file below `source` into "<name>.pbo" in `destination` (or
// beside the source folder when `destination` is empty), keeping an existing
// archive of that name as ".bak". Null strings count as empty. A failure
// once the backup is made (or the archive created) removes the partial
// archive and moves the backup back, so the previous archive is never lost.
// @return true when the archive has been written; false after an error box.
bool PackFolder(Platform& platform, const char* source,
                const char* destination, PackMode mode);

// Unpacks `archive` into a folder named after it inside `destination` (or
// beside the archive when `destination` is empty), deleting an old folder of
// that name first. Null strings count as empty. Every entry name is checked
// before anything on disk changes: a name that would leave the output folder
// (or that Windows would take for a device or a stream) refuses the archive.
// What of the old folder cannot be deleted stays, except that a folder link
// left where an entry's file would go stops the call before any write.
// An entry whose folder cannot be made is reported and passed over; any other
// failure is reported and ends the unpacking.
// @return true when every entry has been written (a checksum mismatch is
//         reported but still counts as written); false after an error box.
bool UnpackArchive(Platform& platform, const char* archive,
                   const char* destination);

}  // namespace pbo
