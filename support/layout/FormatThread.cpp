// Background formatting pacer: a waiting thread that turns each signal into
// one update event delivered on the GUI thread.
#include <ZarvMemo/support/layout/FormatThread.h>

#include <ZarvMemo/platform/AutoResetEvent.h>

#include <QCoreApplication>
#include <QPointer>
#include <atomic>
#include <condition_variable>
#include <mutex>

namespace zarv {

// Shared by the object, the thread and every posted request, so that each
// can outlive the others.
struct TzvFormatThread::TState {
  TAutoResetEvent FormatEvent;
  std::atomic<bool> Terminated{false};
  QPointer<QObject> Memo;     // read and cleared on the GUI thread only
  QObject* Context = nullptr; // the application object; requests run on its thread
  std::mutex Mutex;           // guards SliceDone
  std::condition_variable SliceCond;
  bool SliceDone = true;
};

QEvent::Type TzvFormatThread::UpdateEventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

TzvFormatThread::TzvFormatThread(QObject* memo) : fState(std::make_shared<TState>()) {
  fState->Memo = memo;
  fState->Context = QCoreApplication::instance();
  fThread = std::thread(&TzvFormatThread::Execute, fState);
}

TzvFormatThread::~TzvFormatThread() {
  if (fThread.joinable())
    PutToEnd(true);
}

void TzvFormatThread::SetEvent() {
  if (!fState->Terminated)
    fState->FormatEvent.Set();
}

bool TzvFormatThread::IsRunning() const { return fThread.joinable() && !fState->Terminated; }

void TzvFormatThread::PutToEnd(bool Wait) {
  fState->Memo = nullptr;
  fState->Terminated = true;
  fState->FormatEvent.Set();
  {
    std::lock_guard<std::mutex> lock(fState->Mutex);
    fState->SliceDone = true;
  }
  fState->SliceCond.notify_all();
  if (!fThread.joinable())
    return;
  if (Wait || QCoreApplication::closingDown())
    fThread.join();
  else
    fThread.detach(); // it ends by itself; the shared state keeps it safe
}

void TzvFormatThread::Execute(std::shared_ptr<TState> state) {
  for (;;) {
    state->FormatEvent.Wait();
    if (state->Terminated)
      break;
    QObject* context = state->Context;
    if (!context)
      break;
    {
      std::lock_guard<std::mutex> lock(state->Mutex);
      state->SliceDone = false;
    }
    // The request runs on the GUI thread; it holds the state, never this
    // object, and sends nothing once the control is gone.
    QMetaObject::invokeMethod(
        context,
        [state]() {
          // Repaints waiting in the queue (posted at low priority) go
          // first: a paint must not wait behind formatting slices.
          if (state->Memo)
            QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
          if (QObject* memo = state->Memo.data()) {
            QEvent e(UpdateEventType());
            QCoreApplication::sendEvent(memo, &e);
          }
          {
            std::lock_guard<std::mutex> lock(state->Mutex);
            state->SliceDone = true;
          }
          state->SliceCond.notify_all();
        },
        Qt::QueuedConnection);
    // Wait until the slice ran (or shutdown), like a synchronous call, but
    // without blocking a GUI thread that is waiting for this thread to end.
    std::unique_lock<std::mutex> lock(state->Mutex);
    state->SliceCond.wait(lock, [&] { return state->SliceDone || state->Terminated; });
  }
}

} // namespace zarv
