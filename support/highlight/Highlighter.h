// TZarvHighlighter: the base of highlighter components.
//
// A highlighter plugs into the highlighting pass: the pass calls its keyword
// operation before applying the control's own keywords, and asks it for
// start and stop keys when the control's own lists find none. The base does
// nothing. A highlighter keeps the list of controls using it; when it is
// destroyed, every one of them is detached and highlights its text again.
#pragma once

#include <ZarvMemo/support/highlight/Notify.h>

#include <QObject>
#include <cstdint>
#include <vector>

namespace zarv {

class TZarvNavigator;
class TZarvMemoHost;

class TZarvHighlighter : public QObject, public IzvsNotify {
  Q_OBJECT
public:
  explicit TZarvHighlighter(QObject* parent = nullptr);
  ~TZarvHighlighter() override;

  // KeyCount is the number of entries of the control's own list, so that a
  // highlighter can number its keys after them.
  virtual void ApplyKeywordsList(TZarvNavigator& StartNav, TZarvNavigator& StopNav, int32_t KeyCount);
  virtual bool FindStart(TZarvNavigator& StartNav, TZarvNavigator& StopNav, int32_t KeyCount);
  virtual bool FindStop(TZarvNavigator& StartNav, TZarvNavigator& StopNav, int32_t KeyCount);
  void Notify(QObject* Sender, TzvEvents Events) override;
  virtual int32_t FixRange(TZarvNavigator& StartNav, TZarvNavigator& StopNav, int32_t KeywordCount,
                           int32_t StartStopCount);
  // Whether a start key of this highlighter (or of one it chains) may begin
  // in Text[From, To) of a paragraph of Memo. The pass skips the start
  // search of a paragraph at top level in which none may. The base cannot
  // tell and answers true.
  virtual bool MayStartIn(const TZarvMemoHost& Memo, const char16_t* Text, int32_t From, int32_t To);

  // The controls using this highlighter (maintained by the controls).
  std::vector<TZarvMemoHost*> MemoList;
};

} // namespace zarv
