// Finding text and the queries behind the edit commands' enabled states.
// The search itself runs over the store (FindTextP); the control starts it
// at the caret and shows the match as the selection, with the caret at the
// end the search went towards.
#include <ZarvMemo/memo/ZarvMemo.h>

#include <ZarvMemo/support/highlight/HighlightPass.h>
#include <ZarvMemo/support/navigator/Navigator.h>

#include <algorithm>

namespace zarv {

bool TZarvMemo::FindTxt(const QString& Text, bool Down, bool MatchCase, bool WholeWord, bool FromTextEdge) try {
  const TEntryScope entry(ownerId());
  int32_t start = getSelStart(), length = 0;
  if (!FindTextP(*this, Text, Down, MatchCase, WholeWord, FromTextEdge, start, length))
    return false;
  // The match becomes the selection in one step: the caret is placed and
  // the move told once (a count of every match runs this per match).
  const int32_t other = start + length;
  fExtraCols.clear();
  fXCaretRunningPos = INT32_MIN;
  fBlockSelection = false;
  fSelStart->SetPos(std::min(start, other));
  fSelStop->SetPos(std::max(start, other));
  fcp = length < 0 ? fSelStop : fSelStart;
  fSelLen = length;
  fUndoBreak = true;
  fsSelLenDirty = true;
  UpdateCaret(false);
  return true;
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
  return {};
}

bool TZarvMemo::CanCut() const { return !fReadOnly && !fDisplayOnly && fSelLen != 0; }
bool TZarvMemo::CanCopy() const { return !fDisplayOnly && fSelLen != 0; }
bool TZarvMemo::CanPaste() const { return !fReadOnly && !fDisplayOnly; }
bool TZarvMemo::CanDelete() const { return !fReadOnly && !fDisplayOnly && fSelLen != 0; }
bool TZarvMemo::CanSelectAll() const { return !fDisplayOnly && getCharCount() > 0; }

void TZarvMemo::setReadOnly(bool v) {
  if (v == fReadOnly)
    return;
  TZarvMemoSettings::setReadOnly(v);
  tellEditState();
}

void TZarvMemo::tellEditState() try {
  const TEntryScope entry(ownerId());
  callOut([&] { Q_EMIT editStateChanged(); });
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

} // namespace zarv
