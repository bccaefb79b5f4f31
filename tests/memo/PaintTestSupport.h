// What the painting tests share: a shown control with a monospace font, a
// keyword "red" in red and "/* */" comments in green italics, and a full
// paint of its viewport into an image.
#pragma once

#include <ZarvMemo/memo/ZarvMemo.h>

#include <QApplication>
#include <QImage>
#include <cmath>
#include <memory>

namespace zarv::test {

inline std::unique_ptr<TZarvMemo> MakeMemo(const QString& text, int w = 400, int h = 200) {
  auto m = std::make_unique<TZarvMemo>();
  m->setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 10));
  m->setUpdateMode(umImmediate);
  m->setScrollTime(0);
  m->setHideSelection(false);
  // Each test window would take the focus from the one before; no caret.
  m->setFocusPolicy(Qt::NoFocus);
  m->Keywords().AddKeyWord(QStringLiteral("red"), woMatchCase | woWholeWordsOnly, 0, 1, 0, clNone, clRed);
  m->StartStopKeys().AddStartStopKey(QStringLiteral("/*"), QStringLiteral("*/"), woMatchCase, fsItalic, 2, 0, clNone,
                                     clGreen, false);
  m->resize(w, h);
  m->show();
  m->SetTextBuf(text);
  QApplication::processEvents();
  return m;
}

// A full paint of the viewport into an image of the given pixel ratio.
inline QImage Render(TZarvMemo& m, qreal dpr = 1) {
  const QSize s = m.viewport()->size();
  QImage img(int(std::ceil(s.width() * dpr)), int(std::ceil(s.height() * dpr)), QImage::Format_RGB32);
  img.setDevicePixelRatio(dpr);
  img.fill(Qt::magenta);
  m.viewport()->render(&img);
  return img;
}

} // namespace zarv::test
