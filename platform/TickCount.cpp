// Monotonic tick counter on std::chrono::steady_clock.
#include <ZarvMemo/platform/TickCount.h>

#include <chrono>

namespace zarv {

uint32_t GetTickCount() {
  using namespace std::chrono;
  return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace zarv
