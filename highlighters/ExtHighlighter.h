// TExtHighlighter: the extended highlighter as an application uses it.
//
// The engine of TCustomExtHighlighter with its settings exposed as
// properties: an application fills Keywords() and StartStopKeys(), sets the
// separators, and attaches it to controls (or chains it under another
// highlighter).
#pragma once

#include <ZarvMemo/highlighters/CustomExtHighlighter.h>

namespace zarv {

class TExtHighlighter : public TCustomExtHighlighter {
  Q_OBJECT
  Q_PROPERTY(bool Active READ getActive WRITE setActive)
  Q_PROPERTY(QString Separators READ getSeparators WRITE setSeparators)
  Q_PROPERTY(QObject* SubHighlighter READ subHighlighterObject WRITE setSubHighlighterObject)

public:
  explicit TExtHighlighter(QObject* parent = nullptr) : TCustomExtHighlighter(parent) {}

  QObject* subHighlighterObject() const { return getSubHighlighter(); }
  // Anything but a highlighter unlinks.
  void setSubHighlighterObject(QObject* o) { setSubHighlighter(qobject_cast<TZarvHighlighter*>(o)); }
};

} // namespace zarv
