#include "core/checksum.h"
