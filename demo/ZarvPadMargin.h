// ZarvPad's margin: a gutter of line numbers beside the editor, the fold
// margin in the editor's left margin, fold marks for C and C++ blocks found
// by a small brace scanner, and the View menu's entries for them.
#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <utility>
#include <vector>

class QMainWindow;
class QSettings;

namespace zarv {
class TParagraphsList;
class TZarvGutter;
class TZarvMemo;
class TzvCollapseHandler;
} // namespace zarv

namespace zarv::pad {

// Blocks of paragraphs a C or C++ text folds into: brace blocks and
// comments over several lines, each from its opening line to the line
// before its closing one (that line stays visible, and a "} else {" line
// opens the next block). Strings, character literals and line comments are
// skipped. Sorted by first line, outer blocks first; properly nested.
using TFoldBlocks = std::vector<std::pair<int32_t, int32_t>>;
TFoldBlocks CppFoldBlocks(const TParagraphsList& L);

class TPadMargin : public QObject {
  Q_OBJECT
public:
  // Puts a gutter left of the editor (inside the editor's layout) and adds
  // the View menu's entries; call once the menus exist.
  TPadMargin(QMainWindow& window, TZarvMemo& memo, QSettings& settings);
  TPadMargin(const TPadMargin&) = delete; // wired to one window
  TPadMargin& operator=(const TPadMargin&) = delete;

  TZarvGutter& Gutter() const { return *fGutter; }
  TzvCollapseHandler& Folds() const { return *fFolds; }
  // Texts larger than this (characters) get no fold marks: the scan runs
  // over the whole text after each pause in typing.
  static constexpr int32_t kMaxScannedChars = 4 << 20;
  // Scans the text again now (C and C++ only) and makes its blocks,
  // keeping folded the blocks that were folded at the same lines.
  void Rescan();
  const TFoldBlocks& Blocks() const { return fBlocks; }

protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

private:
  void addMenuEntries(QMainWindow& window, QSettings& settings);
  void clearBlocks();

  TZarvMemo& fMemo;
  TZarvGutter* fGutter = nullptr;
  TzvCollapseHandler* fFolds = nullptr;
  QTimer fRescan;
  TFoldBlocks fBlocks;
};

} // namespace zarv::pad
