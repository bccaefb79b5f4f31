// The background formatting pacer: one update event per signal, delivered
// on the GUI thread; clean shutdown with and without waiting, also while a
// request is still queued and when the receiver goes away first.
#include <ZarvMemo/support/layout/FormatThread.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>

using namespace zarv;

namespace {

// A receiver that formats "slices": it counts update events, checks they
// arrive on its own thread, and asks for more while work remains.
class SliceReceiver : public QObject {
public:
  int slices = 0;
  int wanted = 0;
  bool wrongThread = false;
  TzvFormatThread* pacer = nullptr;

  bool event(QEvent* e) override {
    if (e->type() != TzvFormatThread::UpdateEventType())
      return QObject::event(e);
    if (QThread::currentThread() != thread())
      wrongThread = true;
    ++slices;
    if (slices < wanted && pacer)
      pacer->SetEvent();
    return true;
  }
};

// Processes events until pred holds or the time runs out.
template <class Pred>
bool pumpUntil(Pred pred, int ms = 5000) {
  QElapsedTimer t;
  t.start();
  while (!pred() && t.elapsed() < ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(1);
  }
  return pred();
}

void pumpFor(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

} // namespace

TEST(FormatThread, EverySignalBecomesOneSliceOnTheGuiThreadUntilWorkIsDone) {
  SliceReceiver r;
  TzvFormatThread pacer(&r);
  r.pacer = &pacer;
  r.wanted = 25;
  pacer.SetEvent();
  ASSERT_TRUE(pumpUntil([&] { return r.slices >= 25; }));
  pumpFor(50);
  EXPECT_EQ(r.slices, 25) << "no slice without a signal";
  EXPECT_FALSE(r.wrongThread);
}

TEST(FormatThread, SignalsWhileASliceIsPendingCollapseIntoOne) {
  SliceReceiver r;
  TzvFormatThread pacer(&r);
  for (int i = 0; i < 10; ++i)
    pacer.SetEvent();
  ASSERT_TRUE(pumpUntil([&] { return r.slices >= 1; }));
  pumpFor(100);
  // The first wake-up consumes the event; later signals set it once more
  // at most, so no more than two slices can follow ten signals.
  EXPECT_GE(r.slices, 1);
  EXPECT_LE(r.slices, 2);
}

TEST(FormatThread, PutToEndWithWaitStopsTheThreadAndIgnoresLaterSignals) {
  SliceReceiver r;
  TzvFormatThread pacer(&r);
  EXPECT_TRUE(pacer.IsRunning());
  pacer.PutToEnd(true);
  EXPECT_FALSE(pacer.IsRunning());
  pacer.SetEvent();
  pumpFor(50);
  EXPECT_EQ(r.slices, 0);
}

TEST(FormatThread, AQueuedRequestDeliversNothingAfterPutToEndWithoutWaiting) {
  SliceReceiver r;
  auto pacer = std::make_unique<TzvFormatThread>(&r);
  pacer->SetEvent();
  // Give the thread time to post its request, but do not process it yet.
  QThread::msleep(50);
  pacer->PutToEnd(false);
  pacer.reset();
  pumpFor(50);
  EXPECT_EQ(r.slices, 0);
}

TEST(FormatThread, AReceiverDestroyedFirstReceivesNothing) {
  auto r = std::make_unique<SliceReceiver>();
  TzvFormatThread pacer(r.get());
  pacer.SetEvent();
  QThread::msleep(50);
  r.reset(); // the request is queued and the receiver is gone
  pumpFor(50);
  pacer.SetEvent();
  pumpFor(50);
  SUCCEED() << "no use of the destroyed receiver";
}

TEST(FormatThread, DestroyingAPacerWithARequestInFlightJoinsCleanly) {
  SliceReceiver r;
  for (int i = 0; i < 20; ++i) {
    TzvFormatThread pacer(&r);
    pacer.SetEvent();
    if (i % 2)
      QThread::msleep(1);
  }
  pumpFor(50);
  EXPECT_EQ(r.slices, 0) << "requests of destroyed pacers are dropped";
}
