// Folders on Win32: listing, identity, creation with parents and deletion
// of a whole tree.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "workflow/platform.h"

namespace pbo {

// Lists every item of the folder `path` (hidden and system ones included,
// "." and ".." left out) in the order the system returns them.
// @return false when the listing cannot be opened; `items` is then empty.
bool ListFolderItems(const std::string& path, std::vector<FolderItem>* items);

// A number naming the file or folder that `path` reaches: its volume serial
// number and file index, so two paths through links compare equal.
// @return false when the item cannot be opened.
bool FileIdentity(const std::string& path, uint64_t* id);

// Creates the folder `path` and every missing parent. A trailing backslash
// is allowed. @return true when a folder exists at `path` afterwards.
bool CreateFolderPath(const std::string& path);

// Deletes the folder `path` with everything in it. A file whose attributes
// are anything but "archive" alone gets them reset first (clearing
// read-only, hidden and system); a folder that is a link (reparse point) is
// removed itself without looking inside, so the target's contents survive.
// Items that cannot be deleted are left and the rest goes on.
void DeleteFolderTree(const std::string& path);

}  // namespace pbo
