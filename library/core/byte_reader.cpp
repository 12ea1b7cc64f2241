#include "core/byte_reader.h"
