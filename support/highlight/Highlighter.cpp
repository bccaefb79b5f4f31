// The highlighter base: no keys of its own, and it detaches its controls
// when it goes.
#include <ZarvMemo/support/highlight/Highlighter.h>

#include <ZarvMemo/support/MemoHost.h>

namespace zarv {

TZarvHighlighter::TZarvHighlighter(QObject* parent) : QObject(parent) {}

TZarvHighlighter::~TZarvHighlighter() {
  // Each control removes itself from MemoList when its highlighter changes.
  // Its runs carry this highlighter's key numbers, which nothing can read
  // any more: the control highlights its text again without it.
  while (!MemoList.empty()) {
    TZarvMemoHost* memo = MemoList.back();
    memo->setHighlighter(nullptr);
    memo->ReApplyKeywords();
  }
}

void TZarvHighlighter::ApplyKeywordsList(TZarvNavigator&, TZarvNavigator&, int32_t) {}
bool TZarvHighlighter::FindStart(TZarvNavigator&, TZarvNavigator&, int32_t) { return false; }
bool TZarvHighlighter::FindStop(TZarvNavigator&, TZarvNavigator&, int32_t) { return false; }
void TZarvHighlighter::Notify(QObject*, TzvEvents) {}
int32_t TZarvHighlighter::FixRange(TZarvNavigator&, TZarvNavigator&, int32_t, int32_t) { return 0; }
bool TZarvHighlighter::MayStartIn(const TZarvMemoHost&, const char16_t*, int32_t, int32_t) { return true; }

} // namespace zarv
