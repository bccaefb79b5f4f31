// zarv_bench_gutter: what the gutter and the fold margin cost.
//
//   zarv_bench_gutter [--quick]
//
// A generated C++ text of 100 MB (--quick: 10 MB) in a shown control of
// 1000 x 800 pixels (DejaVu Sans Mono 10, no word wrap) with a gutter of
// line numbers beside it and a collapse handler linked. Prints:
// - full repaint at the end of the text: milliseconds per paint of the
//   control's window alone, and of the window and the whole gutter, and
//   the difference;
// - the gutter's paint alone;
// - folding and unfolding a block of 100 000 paragraphs by a click on its
//   sign once background formatting has finished (the press, the fold in
//   the store and the control's bookkeeping; the click's events are sent
//   straight to the control, so that no background formatting slice is
//   timed with it), the store's and the control's part of it, and the
//   repaint after it;
// - a keystroke at the end of the text with and without the gutter.
#include "bench/BenchReport.h"
#include "bench/CorpusGen.h"
#include <ZarvMemo/folding/ZvCollapseHandler.h>
#include <ZarvMemo/gutter/ZarvGutter.h>
#include <ZarvMemo/memo/ZarvMemo.h>

#include <QApplication>
#include <QBuffer>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QTest>

#include <cstring>
#include <string>

namespace {

using namespace zarv;
using namespace zarv::bench;

double PaintMs(const std::function<void()>& paint, int times) {
  const Clock::time_point t0 = Clock::now();
  for (int i = 0; i < times; ++i)
    paint();
  return Ms(Clock::now() - t0) / times;
}

double KeystrokeMs(TZarvMemo& memo, int times) {
  memo.setSelStart(memo.getCharCount());
  const Clock::time_point t0 = Clock::now();
  for (int i = 0; i < times; ++i) {
    QTest::keyClick(&memo, Qt::Key_A);
    QApplication::processEvents();
  }
  return Ms(Clock::now() - t0) / times;
}

void Run(int64_t bytes) {
  const std::string tag = std::to_string(bytes / MB) + "MB";
  const std::string text = CppCorpus(bytes);
  QWidget window;
  auto* row = new QHBoxLayout(&window);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  auto* gutter = new TZarvGutter;
  auto* memo = new TZarvMemo;
  row->addWidget(gutter);
  row->addWidget(memo, 1);
  memo->setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 10));
  gutter->setFont(memo->font());
  gutter->setAlignment(taRightJustify);
  gutter->setAutoWidth(true);
  memo->setWordWrap(false);
  memo->setScrollTime(0);
  TzvCollapseHandler handler;
  memo->setLeftMargin(handler.MarginWidth() + 4);
  memo->setCollpsHandler(&handler);
  window.resize(1000, 800);
  window.show();
  QApplication::processEvents();
  QBuffer device;
  device.setData(QByteArray::fromRawData(text.data(), static_cast<qsizetype>(text.size())));
  device.open(QIODevice::ReadOnly);
  memo->LoadFromStream(device, TzvsEncoding::Ansi);
  memo->setFocus();
  const int32_t pars = memo->GetParCount();
  // The last window of the text, full of lines.
  memo->setTopLine(std::max(0, memo->getTotalLineCount() - memo->DisplayLines()));
  QApplication::processEvents();

  // Without the gutter, then with it.
  gutter->setZarvMemo(nullptr);
  memo->viewport()->repaint();
  const double alone = PaintMs([&] { memo->viewport()->repaint(); }, 50);
  const double typeAlone = KeystrokeMs(*memo, 50);
  gutter->setZarvMemo(memo);
  QApplication::processEvents();
  const double both = PaintMs(
      [&] {
        memo->viewport()->repaint();
        gutter->repaint();
      },
      50);
  const double gutterOnly = PaintMs([&] { gutter->repaint(); }, 50);
  const double typeWith = KeystrokeMs(*memo, 50);
  Report("full repaint at the end, control alone " + tag, alone, "ms/paint", 3);
  Report("full repaint at the end, control and gutter " + tag, both, "ms/paint", 3);
  Report("gutter's cost in a full repaint " + tag, both - alone, "ms/paint", 3);
  Report("gutter paint alone " + tag, gutterOnly, "ms/paint", 3);
  Report("keystroke at the end without gutter " + tag, typeAlone, "ms/key", 3);
  Report("keystroke at the end with gutter " + tag, typeWith, "ms/key", 3);
  if (gutter->NumberText(memo->getTopLine()) != QString::number(int64_t(memo->getTopLine()) + 1))
    Fail(tag + ": the gutter shows a wrong number at the end");

  // Folds are measured once background formatting is done, as a user
  // folds a text that has been open a while.
  while (memo->getFormatCompleted() < memo->GetParCount())
    QApplication::processEvents(QEventLoop::AllEvents, 50);

  // A block of 100 000 paragraphs starting on the window's second line.
  const int32_t blockPars = std::min<int32_t>(100'000, pars - 10);
  const int32_t first = (pars - blockPars) / 2;
  memo->setTopLine(first - 1);
  memo->setDisplayLeft(0); // the margin scrolls sideways with the text
  QApplication::processEvents();
  if (memo->getTopLine() != first - 1 || !memo->MakeCollapsibleBlock(first, first + blockPars - 1))
    Fail(tag + ": no block to fold");
  QApplication::processEvents();
  const TFoldGeometry g = handler.Geometry(memo->fLineHeight);
  const QPoint sign(g.SignLeft(0) + g.SignSize() / 2, memo->fLineHeight + g.SignTop() + g.SignSize() / 2);
  double fold = 0, unfold = 0, repaint = 0;
  const int reps = 10;
  for (int r = 0; r < reps; ++r) {
    for (bool collapse : {true, false}) {
      // The press folds; it is sent straight to the viewport, so that no
      // background formatting slice of the event loop is timed with it.
      const QPointF at(sign), global(memo->viewport()->mapToGlobal(sign));
      QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
      QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
      const Clock::time_point t0 = Clock::now();
      QCoreApplication::sendEvent(memo->viewport(), &press);
      QCoreApplication::sendEvent(memo->viewport(), &release);
      const Clock::time_point t1 = Clock::now();
      memo->viewport()->repaint();
      gutter->repaint();
      repaint += Ms(Clock::now() - t1);
      (collapse ? fold : unfold) += Ms(t1 - t0);
      const bool folded = memo->Paragraphs().Par(first + 1)->ParState & zvpHidden;
      if (folded != collapse)
        Fail(tag + ": the click did not " + (collapse ? "fold" : "unfold") + " the block");
    }
  }
  // Where the time goes: the store's fold alone, and the control's.
  double store = 0, control = 0;
  for (int r = 0; r < reps; ++r)
    for (bool collapse : {true, false}) {
      Clock::time_point t0 = Clock::now();
      memo->Paragraphs().CollapseExpandBlock(first, 1, collapse);
      store += Ms(Clock::now() - t0);
      memo->Paragraphs().CollapseExpandBlock(first, 1, !collapse);
      t0 = Clock::now();
      collapse ? memo->CollapseBlock(first, 1) : memo->ExpandBlock(first, 1);
      control += Ms(Clock::now() - t0);
    }
  const std::string block = std::to_string(blockPars) + "-paragraph block ";
  Report("store's fold or unfold of a " + block + tag, store / (2 * reps), "ms", 3);
  Report("control's fold or unfold of a " + block + tag, control / (2 * reps), "ms", 3);
  Report("fold a " + block + tag, fold / reps, "ms", 3);
  Report("unfold a " + block + tag, unfold / reps, "ms", 3);
  Report("repaint after a fold " + tag, repaint / (2 * reps), "ms", 3);
  const QString e = memo->Paragraphs().CheckIntegrity();
  if (!e.isEmpty())
    Fail(tag + ": " + e.toStdString());
}

} // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  Note("gutter and fold margin beside a 1000 x 800 control, DejaVu Sans Mono 10, no word wrap");
  Run((quick ? 10 : 100) * MB);
  return gFailed ? 1 : 0;
}
