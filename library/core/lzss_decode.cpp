#include "core/lzss_decode.h"
