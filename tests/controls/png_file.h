// Writes screen pixels as an uncompressed-deflate PNG file (8-bit RGB), so
// pictures need no image library.
#pragma once
#include "screen.h"

// @return true if the whole file was written.
bool WritePng(const char* path, const Pixels& pixels);
