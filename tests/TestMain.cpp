// Shared main() of the unit-test binaries: runs Qt offscreen unless the
// caller chose a platform, so tests need no display.
//
// Every test runs under a watchdog: a test that does not finish within
// ZARV_TEST_TIME_LIMIT seconds (120 unless set) ends the binary with a
// message naming it, so that a hang fails CI instead of blocking it.
#include <QApplication>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace {

class TWatchdog : public ::testing::EmptyTestEventListener {
public:
  explicit TWatchdog(int seconds) : fLimit(seconds), fThread([this] { run(); }) {}
  ~TWatchdog() override {
    {
      std::lock_guard lock(fMutex);
      fQuit = true;
    }
    fWake.notify_all();
    fThread.join();
  }
  TWatchdog(const TWatchdog&) = delete; // owns a thread
  TWatchdog& operator=(const TWatchdog&) = delete;

  void OnTestStart(const ::testing::TestInfo& info) override {
    std::lock_guard lock(fMutex);
    fName = std::string(info.test_suite_name()) + "." + info.name();
    fDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(fLimit);
    fArmed = true;
    fWake.notify_all();
  }
  void OnTestEnd(const ::testing::TestInfo&) override {
    std::lock_guard lock(fMutex);
    fArmed = false;
    fWake.notify_all();
  }

private:
  void run() {
    std::unique_lock lock(fMutex);
    while (!fQuit) {
      if (!fArmed) {
        fWake.wait(lock);
        continue;
      }
      if (fWake.wait_until(lock, fDeadline) == std::cv_status::timeout && fArmed && !fQuit &&
          std::chrono::steady_clock::now() >= fDeadline) {
        std::fprintf(stderr, "\n%s did not finish within %d s: stopped as hanging\n", fName.c_str(), fLimit);
        std::fflush(stderr);
        std::_Exit(3);
      }
    }
  }

  const int fLimit;
  std::mutex fMutex;
  std::condition_variable fWake;
  std::string fName;
  std::chrono::steady_clock::time_point fDeadline;
  bool fArmed = false;
  bool fQuit = false;
  std::thread fThread; // last: starts after the fields it reads
};

} // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  const int limit =
      qEnvironmentVariableIsSet("ZARV_TEST_TIME_LIMIT") ? qEnvironmentVariableIntValue("ZARV_TEST_TIME_LIMIT") : 120;
  if (limit > 0)
    ::testing::UnitTest::GetInstance()->listeners().Append(new TWatchdog(limit)); // gtest takes ownership
  return RUN_ALL_TESTS();
}
