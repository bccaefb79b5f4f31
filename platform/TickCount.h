// Millisecond tick counter.
//
// Progress reports and background slices compare elapsed milliseconds. The
// counter is monotonic and wraps at 2^32 like a classic tick count, so
// comparisons use unsigned differences.
#pragma once

#include <cstdint>

namespace zarv {

// Milliseconds since an arbitrary fixed point (monotonic, wraps at 2^32).
uint32_t GetTickCount();

// True when `now` has reached or passed `deadline`, allowing for wrap-around.
inline bool TickReached(uint32_t now, uint32_t deadline) { return static_cast<int32_t>(now - deadline) >= 0; }

} // namespace zarv
