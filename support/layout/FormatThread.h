// The thread that paces background formatting.
//
// All formatting runs on the GUI thread. This thread only waits on an
// auto-reset event; each time the control signals it, the thread asks the
// GUI thread to deliver one update event to the control, which formats one
// slice and signals again while work remains. Between slices the GUI thread
// processes user input. The thread never touches the control: the request
// it posts holds only a guarded pointer, so a request still queued when the
// control or this object goes away delivers nothing.
#pragma once

#include <QEvent>
#include <QObject>
#include <memory>
#include <thread>

namespace zarv {

class TzvFormatThread {
public:
  // Starts the thread at once; `memo` receives the update events.
  explicit TzvFormatThread(QObject* memo);
  // Stops and waits for the thread unless PutToEnd did already.
  ~TzvFormatThread();
  // Owns a running thread: neither copyable nor movable.
  TzvFormatThread(const TzvFormatThread&) = delete;
  TzvFormatThread& operator=(const TzvFormatThread&) = delete;

  // Asks for one more slice (harmless while one is pending).
  void SetEvent();
  // Forgets the control and ends the thread; with Wait (or while the
  // application is shutting down) waits for it to end, otherwise lets it
  // end on its own.
  void PutToEnd(bool Wait);
  bool IsRunning() const;

  // The event type the control receives for one background slice.
  static QEvent::Type UpdateEventType();

private:
  struct TState;
  static void Execute(std::shared_ptr<TState> state);
  std::shared_ptr<TState> fState;
  std::thread fThread;
};

} // namespace zarv
