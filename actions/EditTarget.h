// TzvEditTarget: the control an action works on, and the notices that tell
// the action when the control's answers may have changed.
//
// The target is the focused widget when the action can drive it (a
// TZarvMemo, any widget implementing IzvEditAction, or Qt's QLineEdit,
// QTextEdit and QPlainTextEdit), else the default target when one is set,
// else none. Without a focused widget in the application (its window is not
// active) the focus widget of the action's window counts. The tracker
// listens to the application's focus changes, the clipboard and the
// target's own change signals; nothing is polled.
//
// Invariants: Adapter() is null exactly when Widget() is; the adapter acts
// on Widget(); change signals are connected to Widget() only.
#pragma once

#include <ZarvMemo/support/highlight/Notify.h>

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

namespace zarv {

class TzvEditTarget : public QObject {
  Q_OBJECT
public:
  // Which widgets qualify as targets.
  using TFilter = std::function<bool(QWidget*)>;

  explicit TzvEditTarget(QObject* parent = nullptr);
  ~TzvEditTarget() override;
  // Bound to one set of connections: not copyable.
  TzvEditTarget(const TzvEditTarget&) = delete;
  TzvEditTarget& operator=(const TzvEditTarget&) = delete;

  QWidget* Widget() const { return fWidget; }
  IzvEditAction* Adapter() const { return fAdapter.get(); }

  // Used while the focus is on nothing the actions can drive.
  void setDefaultTarget(QWidget* w);
  QWidget* DefaultTarget() const { return fDefault; }
  // A widget of the window whose focus widget counts while no window of
  // the application is active.
  void setContext(QWidget* w);
  // Narrows the kinds of widget taken (the search actions take controls
  // only); null takes every kind with an adapter.
  void setFilter(TFilter f);
  // While the focus is inside this widget (a search dialog), the target
  // stays what it was.
  void setKeepWhileIn(QWidget* w);

  // An adapter for w, or null when w cannot be driven.
  static std::unique_ptr<IzvEditAction> MakeAdapter(QWidget* w);

  // Looks again for the target (focus, default, context).
  void Retarget();

Q_SIGNALS:
  // The target changed or one of its answers may have.
  void stateChanged();

protected:
  // Qt's text widgets tell a change of read-only only as an event.
  bool eventFilter(QObject* watched, QEvent* e) override;

private Q_SLOTS:
  void notice() { Q_EMIT stateChanged(); }

private:
  QWidget* resolve() const;
  bool accepts(QWidget* w) const;
  void attach(QWidget* w);

  QPointer<QWidget> fWidget;
  QPointer<QWidget> fDefault;
  QPointer<QWidget> fContext;
  QPointer<QWidget> fKeepWhileIn;
  TFilter fFilter;
  std::unique_ptr<IzvEditAction> fAdapter;
  std::vector<QMetaObject::Connection> fWatch;
};

} // namespace zarv
