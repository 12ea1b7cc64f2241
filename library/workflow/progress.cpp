#include "workflow/progress.h"

#include <string>

namespace pbo {

int64_t ScaledFloor(int64_t a, int64_t b, int64_t c) {
  int64_t n = a * b;
  int64_t q = n / c;
  if ((n % c != 0) && ((n < 0) != (c < 0))) q -= 1;
  return q;
}

void ProgressPoint(Platform& platform, int64_t done, int64_t total) {
  int64_t bar = 1000;
  int64_t percent = 100;
  if (total != 0) {
    bar = ScaledFloor(done, 1000, total);
    percent = ScaledFloor(done, 100, total);
  }
  platform.SetProgressPos(static_cast<int>(bar));
  platform.SetProgressText(std::to_string(percent) + " %");
  platform.PumpMessages();
}

}  // namespace pbo
