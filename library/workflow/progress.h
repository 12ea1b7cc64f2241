// The progress point that all three workflows share.
#pragma once
#include <cstdint>

#include "workflow/platform.h"

namespace pbo {

// Reports `done` of `total` bytes: the bar goes to floor(done / total * 1000),
// the label to floor(done / total * 100) followed by " %", then the caller's
// queue is pumped. The quotients are exact (integer arithmetic). A total of 0
// counts as finished work: bar 1000, label "100 %".
void ProgressPoint(Platform& platform, int64_t done, int64_t total);

// Floor of a * b / c for c != 0, rounding towards minus infinity.
int64_t ScaledFloor(int64_t a, int64_t b, int64_t c);

}  // namespace pbo
