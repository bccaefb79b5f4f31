// Shared output of the benchmark programs: `name: value unit` lines, notes
// and failures (a benchmark that measured a broken result measured nothing,
// so a failure also sets the exit status).
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>

#if defined(__linux__)
#include <unistd.h>
#endif

namespace zarv::bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }
inline double Ms(Clock::duration d) { return Seconds(d) * 1000.0; }

// Processor time of this (single-threaded) process.
inline double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

inline void Report(const std::string& name, double value, const char* unit, int decimals = 1) {
  std::printf("%s: %.*f %s\n", name.c_str(), decimals, value, unit);
  std::fflush(stdout);
}

inline void Note(const std::string& text) {
  std::printf("# %s\n", text.c_str());
  std::fflush(stdout);
}

inline bool gFailed = false;

inline void Fail(const std::string& what) {
  std::printf("# FAILED: %s\n", what.c_str());
  std::fflush(stdout);
  gFailed = true;
}

// Resident bytes of the process, or -1.
inline int64_t ResidentBytes() {
#if defined(__linux__)
  long pages = 0, resident = 0;
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f)
    return -1;
  const bool ok = std::fscanf(f, "%ld %ld", &pages, &resident) == 2;
  std::fclose(f);
  return ok ? static_cast<int64_t>(resident) * sysconf(_SC_PAGESIZE) : -1;
#else
  return -1;
#endif
}

} // namespace zarv::bench
