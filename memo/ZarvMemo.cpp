// Construction, font-dependent fields and the basic properties of the
// editor control.
#include <ZarvMemo/memo/ZarvMemo.h>

#include <ZarvMemo/support/navigator/Navigator.h>

#include <QEvent>
#include <QScrollBar>
#include <algorithm>

namespace zarv {

TZarvMemo::TZarvMemo(QWidget* parent) : QAbstractScrollArea(parent) {
  QFont f(QStringLiteral("Arial"));
  f.setStyleHint(QFont::SansSerif);
  setFont(f);
  fAltFont = f;
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setCursor(Qt::IBeamCursor);
  resize(100, 60);
  UpdateFontDependantFields();
}

TZarvMemo::~TZarvMemo() { FreeNavigators(); }

// A hidden control has not laid out its viewport yet; its width is then
// what the viewport will get.
int32_t TZarvMemo::ClientWidth() const { return isVisible() ? viewport()->width() : maximumViewportSize().width(); }

QString TZarvMemo::getSeparators() const {
  QString s;
  for (int c = 0; c < 256; ++c)
    if (fDelimiters.test(static_cast<size_t>(c)))
      s.append(QChar(c));
  return s;
}

void TZarvMemo::setSeparators(const QString& s) {
  TCharSet set;
  for (QChar c : s)
    set.set(zvChar(c.unicode()));
  setDelimiters(set);
}

void TZarvMemo::setLineHeight(int32_t v) {
  v = std::min(v, 65535);
  if (v >= 1) {
    fAutoLineHeight = false;
    fLineHeight = v;
  } else {
    fAutoLineHeight = true;
  }
  UpdateFontDependantFields();
}

void TZarvMemo::SetTextBuf(const QString& text) {
  TZarvNavigator a(&Paragraphs()), b(&Paragraphs());
  b.SetPos(fParagraphs->fTextLen);
  int32_t od = 0, ld = 0;
  bool dc = false;
  const std::u16string buf = text.toStdU16String();
  fParagraphs->InsertBuf(buf.c_str(), a, b, false, false, od, ld, dc);
  DropUpText();
  for (TZarvNavigator* nav : fNavigators)
    nav->Invalidate(), nav->SetPos(0);
}

void TZarvMemo::changeEvent(QEvent* e) {
  QAbstractScrollArea::changeEvent(e);
  if (e->type() == QEvent::FontChange)
    UpdateFontDependantFields();
}

} // namespace zarv
