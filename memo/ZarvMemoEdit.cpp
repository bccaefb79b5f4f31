// Editing: the one operation that changes the text (SetSelTextBuf, which
// replaces the selection), its undo recording, the re-highlighting of the
// changed paragraph, the text accessors built on it, column blocks, and undo
// and redo with the saved undo stream.
#include <ZarvMemo/memo/ZarvMemo.h>

#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/support/highlight/HighlightPass.h>
#include <ZarvMemo/support/highlight/Highlighter.h>
#include <ZarvMemo/support/navigator/Navigator.h>

#include <algorithm>

namespace zarv {

namespace {

// A position on the LF of a CR LF pair stands at the end of its paragraph.
void offBreak(TZarvNavigator& n) {
  if (n.GetOffset() > GetParLength(*n.GetPar()))
    n.setParOffset(GetParLength(*n.GetPar()));
}

bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }

} // namespace

// What undo needs of an edit, taken before the text changes and kept only
// once the change was made.
struct TZarvMemo::TUndoCapture {
  bool Record = false; // the edit is recorded
  bool Extend = false; // it continues the newest record (a typing run)
  int32_t Group = 0;   // the step it belongs to (0: a step of its own)
  std::u16string Removed;
  // With zvoDiscardTrailingSpaces: the blanks before the selection in its
  // paragraph, which the edit may take with it.
  std::u16string BlanksBefore;
};

// ---- Reading text ---------------------------------------------------------------------------------

QString TZarvMemo::GetTextPart(int32_t Start, int32_t Stop) const {
  Start = std::max(Start, 0);
  Stop = std::min(Stop, getCharCount());
  if (Stop <= Start)
    return {};
  TZarvNavigator n(&Paragraphs());
  n.SetPos(Start);
  std::u16string buf(size_t(Stop - Start) + 1, u'\0');
  const int32_t got = n.GetTextBuf(buf.data(), Stop - Start);
  return QString::fromUtf16(buf.data(), got);
}

int32_t TZarvMemo::GetSelTextBuf(char16_t* Buf, int32_t MaxLen) const {
  if (!Buf || MaxLen <= 0)
    return 0;
  const QString s = GetTextPart(fSelStart->GetPos(), fSelStart->GetPos() + std::min(std::abs(fSelLen), MaxLen - 1));
  std::copy(s.utf16(), s.utf16() + s.size(), Buf);
  Buf[s.size()] = 0;
  return int32_t(s.size());
}

int32_t TZarvMemo::GetTextBuf(char16_t* Buf, int32_t MaxLen) const {
  if (!Buf || MaxLen <= 0)
    return 0;
  const QString s = GetTextPart(0, std::min(getCharCount(), MaxLen - 1));
  std::copy(s.utf16(), s.utf16() + s.size(), Buf);
  Buf[s.size()] = 0;
  return int32_t(s.size());
}

// ---- Columns ----------------------------------------------------------------------------------

// Columns count characters, a tab advancing to the next multiple of
// TabStops, formatting codes of static text taking none.
int32_t TZarvMemo::ColumnToOffset(int32_t Par, int32_t Col) const {
  const ParInfo& par = *fParagraphs->Par(Par);
  const int32_t len = GetParLength(par);
  int64_t c = 0;
  for (int32_t i = 0; i < len; ++i) {
    if (c >= Col)
      return i;
    const char16_t ch = par.ParText[i];
    if (fParagraphs->fStaticFormat && IsStyleCode(ch))
      continue;
    c = ch == u'\t' && fTabStops > 0 ? (c / fTabStops + 1) * fTabStops : c + 1;
  }
  return len;
}

int32_t TZarvMemo::OffsetToColumn(int32_t Par, int32_t Offset) const {
  const ParInfo& par = *fParagraphs->Par(Par);
  const int32_t end = std::clamp(Offset, 0, GetParLength(par));
  int64_t c = 0;
  for (int32_t i = 0; i < end; ++i) {
    const char16_t ch = par.ParText[i];
    if (fParagraphs->fStaticFormat && IsStyleCode(ch))
      continue;
    c = ch == u'\t' && fTabStops > 0 ? (c / fTabStops + 1) * fTabStops : c + 1;
  }
  return int32_t(std::min<int64_t>(c, INT32_MAX));
}

void TZarvMemo::SelectBlock(int32_t StartCol, int32_t StartLine, int32_t StopCol, int32_t StopLine) try {
  const TEntryScope entry(ownerId());
  if (fWordWrap)
    return;
  TParagraphsList& L = *fParagraphs;
  StartLine = std::clamp(StartLine, 0, L.Count() - 1);
  StopLine = std::clamp(StopLine, 0, L.Count() - 1);
  StartCol = std::max(StartCol, 0);
  StopCol = std::max(StopCol, 0);
  const int32_t anchor = L.Par(StartLine)->StartOffset + ColumnToOffset(StartLine, StartCol);
  const int32_t caretOff = ColumnToOffset(StopLine, StopCol);
  const int32_t caret = L.Par(StopLine)->StartOffset + caretOff;
  fSelMoveUpdateCount++;
  setSelStart(caret);
  setSelLength(anchor - caret);
  fSelMoveUpdateCount--;
  const int32_t missing = StopCol - OffsetToColumn(StopLine, caretOff);
  fExtraCols = missing > 0 ? QString(missing, QLatin1Char(' ')) : QString();
  fBlockSelection = true;
  fBlockStartCol = StartCol;
  fBlockStopCol = StopCol;
  UpdateCaret(false);
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

QRect TZarvMemo::GetColumnBlockXY() const {
  if (!fBlockSelection)
    return {};
  return QRect(QPoint(std::min(fBlockStartCol, fBlockStopCol), fSelStart->GetLineNb()),
               QPoint(std::max(fBlockStartCol, fBlockStopCol), fSelStop->GetLineNb()));
}

// The block's columns are cut out of every paragraph it spans, in one lock;
// returns that lock's undo group.
int32_t TZarvMemo::deleteColumnBlock() {
  const int32_t left = std::min(fBlockStartCol, fBlockStopCol), right = std::max(fBlockStartCol, fBlockStopCol);
  const int32_t first = fSelStart->GetParNb(), last = fSelStop->GetParNb();
  TUpdateLock lock(*this);
  const int32_t group = fUndoGroup;
  for (int32_t p = first; p <= last; ++p) {
    const int32_t base = fParagraphs->Par(p)->StartOffset;
    const int32_t a = base + ColumnToOffset(p, left), b = base + ColumnToOffset(p, right);
    fSelStart->SetPos(a);
    fSelStop->SetPos(b);
    fcp = fSelStart;
    fSelLen = b - a;
    SetSelTextBuf(QString());
  }
  fSelStart->SetPos(fParagraphs->Par(first)->StartOffset + ColumnToOffset(first, left));
  fSelStop->Assign(*fSelStart);
  fcp = fSelStart;
  fSelLen = 0;
  return group;
}

// ---- Replacing the selection ------------------------------------------------------------------------

void TZarvMemo::setSelText(const QString& S) try {
  const TEntryScope entry(ownerId());
  if (!fExtraCols.isEmpty() && fOptions.testFlag(zvoPutExtraSpaces) && !(fBlockSelection && fSelLen != 0))
    SetSelTextBuf(fExtraCols + S);
  else
    SetSelTextBuf(S);
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::ClearSelection() { setSelText(QString()); }

void TZarvMemo::SelectAll() try {
  const TEntryScope entry(ownerId());
  {
    const TCountScope<int32_t> held(ownerId(), fSelMoveUpdateCount);
    setSelStart(getCharCount());
    setSelLength(-getCharCount());
  }
  DoSelMove();
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::SetSelTextBuf(const QString& Buf) try {
  const TEntryScope entry(ownerId());
  QString text = Buf;
  callHandler(OnBeforeChange, *this, text);
  DoNotify(fNotifyList, zveBeforeChange);
  TParagraphsList& L = *fParagraphs;
  offBreak(*fSelStart);
  offBreak(*fSelStop);
  const int32_t selLen = fSelStop->GetPos() - fSelStart->GetPos();
  fSelLen = fSelLen < 0 ? -selLen : selLen;
  if (fSelLen == 0 && text.isEmpty())
    return;
  int32_t group = fRecordGroup ? fRecordGroup : fLockedCount > 0 ? fUndoGroup : 0;
  if (fBlockSelection) {
    fBlockSelection = false;
    const int32_t blockGroup = deleteColumnBlock();
    if (text.isEmpty())
      return;
    if (group == 0)
      group = blockGroup; // typed or pasted over a block: one step with its deletion
  }
  const int32_t start = fSelStart->GetPos();
  const bool discard = fOptions.testFlag(zvoDiscardTrailingSpaces) && !fInUndo;
  TUndoCapture undo = prepareUndo(group);

  const int32_t startPar = fSelStart->GetParNb();
  const bool ssWasDone = L.Par(startPar)->ParState & zvpSSDone;
  const bool keywWasDone = L.Par(startPar)->ParState & zvpKeywDone;
  const bool canParse = startPar <= L.fLastStartStopParsed + 1;
  TZarvNavigator a(&L), b(&L);
  a.AttachMemo(this);
  b.AttachMemo(this);
  a.Assign(*fSelStart);
  b.Assign(*fSelStop);
  {
    const TLockCountScope held(*this);
    replaceRange(a, b, text.toStdU16String(), discard, !fNoCheckFormat);
  }
  fExtraCols.clear();
  fXCaretRunningPos = INT32_MIN;
  fStartLineSelection = -1;
  fSelStart->Assign(a);
  fSelStop->Assign(b);
  fcp = fSelStart;
  if (fSelLen != 0)
    fsSelLenDirty = true;

  const bool undoKept = commitUndo(undo, start, a.GetPos(), b.GetPos());

  // The changed paragraph is highlighted again from its start; paragraphs
  // after it follow when they are formatted or shown, the next one marked
  // when the state at the end changed.
  const int32_t parsedPar = fSelStart->GetParNb();
  if (OnParse) {
    const TLockCountScope held(*this);
    L.Par(fcp->GetParNb())->ParState &= static_cast<TParStates>(~zvpFormatted);
    callHandler(OnParse, *this, fSelStart->GetPos(), fSelStop->GetPos());
  }
  ParInfo& sp = *L.Par(parsedPar);
  if (fLockedCount > 0 || !canParse) {
    sp.ParState &= static_cast<TParStates>(~(zvpSSDone | zvpKeywDone));
  } else if (ssWasDone || keywWasDone) {
    TZarvNavigator p1(&L), p2(&L);
    p1.AttachMemo(this);
    p2.AttachMemo(this);
    p1.SetParPos(parsedPar, 0);
    p2.SetParPos(parsedPar, GetParLength(sp));
    if (ssWasDone) {
      if (fHighlighter)
        fHighlighter->FixRange(p1, p2, fKeywords->GetCount(), fStartStopKeys->Count());
      DynInfoRec end;
      ApplyStartStopKeyListP(p1, p2, end);
    }
    if (keywWasDone) {
      p1.SetParPos(parsedPar, 0);
      p2.SetParPos(parsedPar, GetParLength(sp));
      ApplyKeywordsListP(p1, p2);
      sp.ParState |= zvpKeywDone;
    }
  }

  fExtraCols.clear();
  fSelLen = 0;
  fBlockSelection = false;
  if (!fInStripCodes) {
    // Undo and redo put back exactly what was there, pairs included.
    if (L.fStaticFormat && fStripStrayCtrlCodes && !fInUndo)
      stripStrayCodes(fSelStart->GetParNb(), fSelStop->GetParNb(), undo, undoKept);
    fSelStart->Assign(*fSelStop);
    fcp = fSelStart;
    L.fNoCompleteFormat = false;
    if (fLockedCount == 0)
      EndModifications(); // may end with the control destroyed by a handler
  }
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

TZarvMemo::TUndoCapture TZarvMemo::prepareUndo(int32_t group) {
  TUndoCapture u;
  u.Record = !fInUndo && !(fComponentState & (csLoading | csDesigning)) && fUndoMaxLevel != 0;
  u.Group = group;
  if (!u.Record)
    return u;
  const int32_t caret = fcp->GetPos(), level = fUndoList.Level();
  // A run never continues past the clean position, which must stay
  // reachable.
  if (fSelLen == 0 && level > 0 && !fUndoBreak && !fUndoList.IsClean()) {
    const TUndoRecord& last = fUndoList.At(level - 1);
    u.Extend = last.UndoStop == caret && last.UndoStart != caret && (last.LockCount == 0) == (group == 0);
  }
  if (!u.Extend)
    u.Removed = GetTextPart(fSelStart->GetPos(), fSelStop->GetPos()).toStdU16String();
  if (fOptions.testFlag(zvoDiscardTrailingSpaces)) {
    const ParInfo& par = *fSelStart->GetPar();
    int32_t b = fSelStart->GetOffset();
    while (b > 0 && isBlank(par.ParText[b - 1]))
      --b;
    u.BlanksBefore.assign(par.ParText + b, par.ParText + fSelStart->GetOffset());
  }
  return u;
}

// The edit replaced start..(old stop) by newStart..newStop: newStart lies
// before start when discarding trailing spaces took the blanks before the
// selection. The record holds exactly what was replaced, also when it
// continues a typing run: blanks the run typed itself are just gone from
// what it inserted, blanks before the run were there before it. False when
// the edit could not be kept for undo.
bool TZarvMemo::commitUndo(TUndoCapture& u, int32_t start, int32_t newStart, int32_t newStop) {
  if (!u.Record) {
    if (!fInUndo)
      fUndoList.ForgetClean(); // a change no record can take back
    return false;
  }
  fUndoList.RemoveRedo();
  fUndoBreak = false;
  Q_ASSERT(start - newStart <= int32_t(u.BlanksBefore.size()));
  const auto blanks = [&](int32_t from, int32_t to) { // the blanks from..to, to <= start
    return std::u16string_view(u.BlanksBefore).substr(u.BlanksBefore.size() - size_t(start - from), size_t(to - from));
  };
  bool kept = false;
  if (u.Extend) {
    const int32_t runStart = fUndoList.At(fUndoList.Level() - 1).UndoStart;
    fUndoList.ExtendLast(std::min(runStart, newStart), newStop,
                         newStart < runStart ? blanks(newStart, runStart) : std::u16string_view());
    kept = fUndoList.TrimChange(fUndoMaxSpace);
  } else {
    if (newStart < start)
      u.Removed.insert(0, blanks(newStart, start));
    kept =
        fUndoList.Append(TUndoRecord{newStart, newStop, u.Group, std::move(u.Removed)}, fUndoMaxLevel, fUndoMaxSpace);
  }
  if (!kept)
    fUndoList.DropGroup(u.Group); // nothing more of its step may be recorded
  return kept;
}

// A formatting code followed, in one run of codes, by the same code again
// encloses nothing: both go. The deletions join the step of the edit that
// left the pair, so that one undo gives back the text before that edit.
void TZarvMemo::stripStrayCodes(int32_t first, int32_t last, const TUndoCapture& edit, bool editKept) {
  TFieldScope<bool> stripping(ownerId(), fInStripCodes, true);
  TFieldScope<bool> unchecked(ownerId(), fNoCheckFormat, true);
  TFieldScope<int32_t> grouping(ownerId(), fRecordGroup, fRecordGroup);
  const auto joinEditStep = [&] {
    if (!edit.Record || fRecordGroup != 0)
      return;
    fRecordGroup = edit.Group;
    if (fRecordGroup == 0) { // an edit of its own: its record and the deletions become a group
      fRecordGroup = ++fUndoGroup;
      if (editKept)
        fUndoList.SetLastGroup(fRecordGroup);
      else
        fUndoList.DropGroup(fRecordGroup);
    }
  };
  TParagraphsList& L = *fParagraphs;
  const int32_t caret = fSelStop->GetPos();
  int32_t removedBefore = 0;
  for (int32_t p = first; p <= last && p < L.Count(); ++p) {
    int32_t i = 0;
    while (i < GetParLength(*L.Par(p))) {
      const char16_t* t = L.Par(p)->ParText;
      const int32_t len = GetParLength(*L.Par(p));
      if (!IsStyleCode(t[i])) {
        ++i;
        continue;
      }
      int32_t j = i + 1;
      while (j < len && IsStyleCode(t[j]) && t[j] != t[i])
        ++j;
      if (j >= len || t[j] != t[i]) {
        ++i;
        continue;
      }
      joinEditStep();
      const int32_t base = L.Par(p)->StartOffset;
      for (int32_t at : {j, i}) { // the later one first, so the earlier keeps its place
        fSelStart->SetPos(base + at);
        fSelStop->SetPos(base + at + 1);
        fcp = fSelStart;
        fSelLen = 1;
        SetSelTextBuf(QString());
        if (base + at < caret)
          ++removedBefore;
      }
    }
  }
  fSelStop->SetPos(caret - removedBefore);
  fSelStart->Assign(*fSelStop);
  fcp = fSelStart;
  fSelLen = 0;
}

// ---- Undo and redo ------------------------------------------------------------------------------

bool TZarvMemo::CanUndo() const { return fUndoList.Level() > (fInUndo ? 1 : 0); }
bool TZarvMemo::CanRedo() const {
  return fInUndo ? fUndoList.Level() <= fUndoList.Count() : fUndoList.Level() < fUndoList.Count();
}
// With Modified false the text is as saved: the empty list's one position
// is the clean one.
void TZarvMemo::ClearUndo() {
  fUndoList.Clear();
  if (!fModified)
    fUndoList.MarkClean();
  tellEditState();
}
void TZarvMemo::RemoveUndo(int32_t I) {
  fUndoList.Remove(I);
  tellEditState();
}

TUndoRecord TZarvMemo::getUndoList(int32_t I) const {
  if (I < 0 || I >= fUndoList.Count())
    throw ERangeError();
  return fUndoList.At(I);
}

void TZarvMemo::setUndoMaxLevel(int v) {
  fUndoList.TrimLevel(v);
  fUndoMaxLevel = v;
  tellEditState();
}

void TZarvMemo::setUndoMaxSpace(int v) {
  fUndoList.TrimSpace(v);
  fUndoMaxSpace = v;
  tellEditState();
}

// Record i is swapped for what its change put in place: its range is
// selected, a record of the selected text replaces it, and its text goes in,
// verbatim (no blank discarding, no code checks).
void TZarvMemo::swapUndoRecord(int32_t i) {
  const TUndoRecord r = fUndoList.At(i);
  const int32_t start = std::clamp(r.UndoStart, 0, getCharCount());
  const int32_t stop = std::clamp(r.UndoStop, start, getCharCount());
  fSelStart->SetPos(start);
  fSelStop->SetPos(stop);
  fcp = fSelStop;
  fSelLen = start - stop;
  fBlockSelection = false;
  fUndoList.Replace(i, TUndoRecord{start, start, r.LockCount, GetTextPart(start, stop).toStdU16String()});
  {
    TFieldScope<bool> unchecked(ownerId(), fNoCheckFormat, true);
    SetSelTextBuf(QString::fromStdU16String(r.UndoText));
  }
  fUndoList.SetStop(i, fSelStop->GetPos());
}

void TZarvMemo::Undo() try {
  const TEntryScope entry(ownerId());
  if (fUndoList.Level() == 0)
    return;
  TFieldScope<bool> undoing(ownerId(), fInUndo, true);
  TUpdateLock lock(*this);
  for (;;) {
    const int32_t i = fUndoList.Level() - 1;
    fUndoList.SetLevel(i);
    const int32_t group = fUndoList.At(i).LockCount;
    swapUndoRecord(i);
    if (i == 0 || group == 0 || fUndoList.At(i - 1).LockCount != group)
      break;
  }
  fUndoBreak = true;
  fModified = !fUndoList.IsClean(); // told with the change, when the lock ends
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::Redo() try {
  const TEntryScope entry(ownerId());
  if (fUndoList.Level() >= fUndoList.Count())
    return;
  TFieldScope<bool> undoing(ownerId(), fInUndo, true);
  TUpdateLock lock(*this);
  for (;;) {
    const int32_t i = fUndoList.Level();
    const int32_t group = fUndoList.At(i).LockCount;
    swapUndoRecord(i);
    fUndoList.SetLevel(i + 1);
    if (i + 1 >= fUndoList.Count() || group == 0 || fUndoList.At(i + 1).LockCount != group)
      break;
  }
  fUndoBreak = true;
  fModified = !fUndoList.IsClean();
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::SaveUndo(QIODevice& Stream) const { fUndoList.Save(Stream); }

void TZarvMemo::LoadUndo(QIODevice& Stream) try {
  const TEntryScope entry(ownerId());
  const QString text = GetTextPart(0, getCharCount());
  fUndoList.Load(Stream, std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size())));
  if (!fModified)
    fUndoList.MarkClean();
  for (int32_t i = 0; i < fUndoList.Count(); ++i)
    fUndoGroup = std::max(fUndoGroup, fUndoList.At(i).LockCount);
  fUndoBreak = true;
  tellEditState();
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

// ---- The clean state and the undo notices ---------------------------------------------------------

// Like a document's "modified" mark: setting it again changes nothing, so
// the clean position survives an application that sets it on every edit.
void TZarvMemo::SetModified(bool v) try {
  const TEntryScope entry(ownerId());
  if (!v)
    fUndoList.MarkClean();
  else if (!fModified)
    fUndoList.ForgetClean();
  fModified = v;
  if (fModifiedTold != fModified) {
    fModifiedTold = fModified;
    callOut([&] { Q_EMIT modifiedChanged(fModified); });
  }
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

// After the outermost change is processed: what Modified became, and an
// edit too large to record. Each signal may destroy the control.
void TZarvMemo::emitUndoNotices() {
  if (fLockedCount > 0)
    return;
  if (fModifiedTold != fModified) {
    fModifiedTold = fModified;
    callOut([&] { Q_EMIT modifiedChanged(fModified); });
  }
  const int64_t dropped = fUndoList.TakeDropped();
  if (dropped > 0)
    callOut([&] { Q_EMIT undoRecordDropped(int32_t(std::min<int64_t>(dropped, INT32_MAX))); });
}

} // namespace zarv
