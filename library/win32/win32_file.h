// Files on Win32 for the workflows: a reader that others may read along
// with but not write, and a writer that can go back to patch a field.
#pragma once
#include <memory>
#include <string>

#include "workflow/platform.h"

namespace pbo {

// Opens an existing file for reading, sharing read access only, so nobody
// can change it while it is being read.
// @return null when the file cannot be opened (missing, locked, a folder).
std::unique_ptr<ReadFile> OpenReadFile(const std::string& path);

// Creates a file for writing, truncating one already there (readers may
// share it). @return null when it cannot be created.
std::unique_ptr<WriteFile> CreateWriteFile(const std::string& path);

}  // namespace pbo
