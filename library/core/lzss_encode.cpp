#include "core/lzss_encode.h"
