// Input methods: the text being composed is shown at the caret without
// becoming text of the control (no undo record, no change notice); a
// commit is typed as one piece. The input method asks where the caret is,
// which font is used and what text surrounds the caret.
#include <ZarvMemo/memo/ZarvMemo.h>

#include <ZarvMemo/support/navigator/Navigator.h>

#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>

namespace zarv {

namespace {

// The input method sees at most this many characters each side of the
// caret: a paragraph may be megabytes long.
constexpr int32_t kSurrounding = 2048;

// The start of the text the input method sees: its offsets count from it.
int32_t SurroundingStart(TZarvNavigator& caret) { return std::max(0, caret.GetOffset() - kSurrounding); }

} // namespace

void TZarvMemo::inputMethodEvent(QInputMethodEvent* e) {
  const QString preedit = e->preeditString();
  int32_t cursor = int32_t(preedit.size());
  for (const QInputMethodEvent::Attribute& a : e->attributes())
    if (a.type == QInputMethodEvent::Cursor)
      cursor = std::clamp(a.start, 0, int32_t(preedit.size()));
  const bool changed = preedit != fPreedit || cursor != fPreeditCursor;
  fPreedit = preedit;
  fPreeditCursor = cursor;
  fInComposition = !fPreedit.isEmpty();
  if (!e->commitString().isEmpty() && !fReadOnly && !fDisplayOnly) {
    if (e->replacementLength() > 0 || e->replacementStart() != 0) {
      // The input method corrects text before or after the caret, within
      // the paragraph it sees as the surrounding text; the offsets are
      // taken in 64 bits, so that no value can wrap around.
      const int64_t caret = getSelStart();
      const int64_t parStart = caret - fcp->GetOffset();
      const int64_t parEnd = parStart + GetParLength(*fcp->GetPar());
      const int64_t from64 = std::clamp(caret + e->replacementStart(), parStart, parEnd);
      const int32_t from = int32_t(from64);
      const int32_t to = int32_t(std::clamp(from64 + std::max(e->replacementLength(), 0), from64, parEnd));
      const TCountScope<int32_t> held(ownerId(), fSelMoveUpdateCount);
      setSelStart(from);
      setSelLength(to - from);
    }
    TypeText(e->commitString());
  }
  if (changed && DisplayReady()) {
    const int32_t line = fcp->getVisibleLineNumber();
    InvalidateLines(line, line);
  }
  e->accept();
}

QVariant TZarvMemo::inputMethodQuery(Qt::InputMethodQuery q) const {
  switch (q) {
  case Qt::ImEnabled:
    return !fReadOnly && !fDisplayOnly;
  case Qt::ImCursorRectangle: {
    // In widget coordinates: the viewport sits inside the frame.
    QRect r = fCaretRect.isNull() ? QRect(fCaretX, fCaretY, 1, fLineHeight) : fCaretRect;
    return r.translated(viewport()->pos());
  }
  case Qt::ImFont:
    return font();
  case Qt::ImCursorPosition:
    return int(fcp->GetOffset() - SurroundingStart(*fcp));
  case Qt::ImAnchorPosition: {
    // Inside the caret's paragraph; an anchor elsewhere counts as the caret.
    TZarvNavigator* other = fSelLen == 0 ? fcp : (fcp == fSelStart ? fSelStop : fSelStart);
    const int32_t start = SurroundingStart(*fcp);
    if (other->GetParNb() != fcp->GetParNb())
      return int(fcp->GetOffset() - start);
    return int(std::clamp(other->GetOffset() - start, 0, 2 * kSurrounding));
  }
  case Qt::ImSurroundingText: {
    const ParInfo& par = *fcp->GetPar();
    const int32_t start = SurroundingStart(*fcp);
    const int32_t stop = std::min(GetParLength(par), fcp->GetOffset() + kSurrounding);
    return QString::fromUtf16(par.ParText + start, stop - start);
  }
  case Qt::ImCurrentSelection:
    return fSelStart->GetParNb() == fSelStop->GetParNb() ? getSelText() : QString();
  case Qt::ImMaximumTextLength:
    return QVariant();
  case Qt::ImHints:
    return int(Qt::ImhMultiLine);
  default:
    return QAbstractScrollArea::inputMethodQuery(q);
  }
}

} // namespace zarv
