// ZarvPad's gutter, fold margin and brace folding.
#include "ZarvPadMargin.h"

#include <ZarvMemo/folding/ZvCollapseHandler.h>
#include <ZarvMemo/gutter/ZarvGutter.h>
#include <ZarvMemo/highlighters/CPPHighlighter.h>
#include <ZarvMemo/memo/ZarvMemo.h>

#include <QBoxLayout>
#include <QEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <algorithm>
#include <set>

namespace zarv::pad {

namespace {

const QString kLineNumbersKey = QStringLiteral("view/lineNumbers");

// The scanner's state between characters.
struct TScan {
  std::vector<int32_t> braces; // opening lines of the open brace blocks
  int32_t commentFrom = -1;    // opening line of an open /* comment
  TFoldBlocks blocks;

  void close(int32_t from, int32_t to) {
    if (to - 1 > from)
      blocks.emplace_back(from, to - 1);
  }
  // One line; returns nothing, collects blocks.
  void line(const char16_t* s, int32_t n, int32_t p) {
    char16_t quote = 0;
    for (int32_t i = 0; i < n; ++i) {
      const char16_t c = s[i], next = i + 1 < n ? s[i + 1] : 0;
      if (commentFrom >= 0) {
        if (c == u'*' && next == u'/') {
          close(commentFrom, p);
          commentFrom = -1;
          ++i;
        }
      } else if (quote) {
        if (c == u'\\')
          ++i;
        else if (c == quote)
          quote = 0;
      } else if (c == u'/' && next == u'/') {
        return;
      } else if (c == u'/' && next == u'*') {
        commentFrom = p;
        ++i;
      } else if (c == u'"' || c == u'\'') {
        quote = c;
      } else if (c == u'{') {
        braces.push_back(p);
      } else if (c == u'}' && !braces.empty()) {
        close(braces.back(), p);
        braces.pop_back();
      }
    }
  }
};

} // namespace

TFoldBlocks CppFoldBlocks(const TParagraphsList& L) {
  TScan scan;
  for (int32_t p = 0; p < L.Count(); ++p) {
    const ParInfo& par = *L.Par(p);
    scan.line(par.ParText, GetParLength(par), p);
  }
  std::sort(scan.blocks.begin(), scan.blocks.end(),
            [](const auto& a, const auto& b) { return a.first != b.first ? a.first < b.first : a.second > b.second; });
  return scan.blocks;
}

TPadMargin::TPadMargin(QMainWindow& window, TZarvMemo& memo, QSettings& settings) : QObject(&window), fMemo(memo) {
  fGutter = new TZarvGutter;
  fGutter->setObjectName(QStringLiteral("gutter"));
  fGutter->setFont(memo.font());
  fGutter->setAlignment(taRightJustify);
  fGutter->setAutoWidth(true);
  fGutter->setZarvMemo(&memo);
  // Beside the editor, in its place in the window's layout.
  if (auto* column = qobject_cast<QBoxLayout*>(memo.parentWidget() ? memo.parentWidget()->layout() : nullptr)) {
    const int at = column->indexOf(&memo);
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    column->insertLayout(at, row, 1);
    column->removeWidget(&memo);
    row->addWidget(fGutter);
    row->addWidget(&memo, 1);
  }
  fFolds = new TzvCollapseHandler(this);
  fFolds->setBarPen(TZarvPen{0xF0CAA6, 9, Qt::SolidLine});
  fFolds->setMaxLevels(3);
  fFolds->setHintCollapsedText(true);
  memo.setLeftMargin(fFolds->MarginWidth() + 4);
  memo.setCollpsHandler(fFolds);
  memo.installEventFilter(this); // the gutter's font follows the editor's (zoom)

  fRescan.setSingleShot(true);
  fRescan.setInterval(300);
  connect(&fRescan, &QTimer::timeout, this, &TPadMargin::Rescan);
  connect(&memo, &TZarvMemo::changed, &fRescan, qOverload<>(&QTimer::start));
  addMenuEntries(window, settings);
}

bool TPadMargin::eventFilter(QObject* watched, QEvent* e) {
  if (watched == &fMemo && e->type() == QEvent::FontChange)
    fGutter->setFont(fMemo.font());
  return QObject::eventFilter(watched, e);
}

void TPadMargin::addMenuEntries(QMainWindow& window, QSettings& settings) {
  QMenu* view = nullptr;
  for (QAction* a : window.menuBar()->actions())
    if (a->menu() && a->text() == tr("&View"))
      view = a->menu();
  if (!view)
    view = window.menuBar()->addMenu(tr("&View"));
  view->addSeparator();
  QAction* numbers = view->addAction(tr("Line &Numbers"));
  numbers->setCheckable(true);
  connect(numbers, &QAction::toggled, this, [this, &settings](bool on) {
    fGutter->setVisible(on);
    settings.setValue(kLineNumbersKey, on);
  });
  numbers->setChecked(settings.value(kLineNumbersKey, true).toBool());
  fGutter->setVisible(numbers->isChecked());
  QAction* fold = view->addAction(tr("&Fold Block"));
  fold->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_BracketLeft));
  connect(fold, &QAction::triggered, this, [this] { fMemo.CollapseSel(); });
  QAction* unfold = view->addAction(tr("&Unfold Block"));
  unfold->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_BracketRight));
  connect(unfold, &QAction::triggered, this, [this] { fMemo.ExpandSel(); });
  connect(view->addAction(tr("Fold &All")), &QAction::triggered, this,
          [this] { fMemo.CollapseAll(false, true, false); });
  connect(view->addAction(tr("Unfold A&ll")), &QAction::triggered, this, [this] { fMemo.ExpandAll(true, true, true); });
  connect(view->addAction(tr("&Clear Bookmarks")), &QAction::triggered, this, [this] { fGutter->ClearBookmarks(); });
}

void TPadMargin::clearBlocks() {
  TParagraphsList& L = fMemo.Paragraphs();
  TZarvMemo::TUpdateLock lock(fMemo);
  fMemo.ExpandAll(true, true, false);
  for (int32_t p = 0; p < L.Count(); ++p)
    while (zvsGetParLevel(*L.Par(p)) > 0)
      fMemo.RemoveCollapsibleBlock(p);
  fBlocks.clear();
}

void TPadMargin::Rescan() {
  const bool cpp = dynamic_cast<TCPPHighlighter*>(fMemo.Highlighter()) != nullptr;
  TParagraphsList& L = fMemo.Paragraphs();
  if (!cpp || fMemo.getCharCount() > kMaxScannedChars) {
    if (!fBlocks.empty())
      clearBlocks();
    return;
  }
  TFoldBlocks blocks = CppFoldBlocks(L);
  if (blocks == fBlocks)
    return; // typing inside a line leaves the blocks as they are
  std::set<int32_t> folded;
  for (int32_t p = 0; p < L.Count(); ++p)
    if (L.IsCollapsedBlockStart(p))
      folded.insert(p);
  TZarvMemo::TUpdateLock lock(fMemo);
  clearBlocks();
  for (const auto& [a, b] : blocks)
    fMemo.MakeCollapsibleBlock(a, b);
  for (int32_t p : folded)
    if (p < L.Count() && zvsGetParLevel(*L.Par(p)) > 0)
      fMemo.CollapseBlock(p, zvsGetParLevel(*L.Par(p)));
  fBlocks = std::move(blocks);
}

} // namespace zarv::pad
