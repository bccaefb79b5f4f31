// Reading and setting the text through the control: whole-text replacement,
// the selection and caret accessors, paragraph accessors, folding through
// the control, and the integrity check.
#include <ZarvMemo/memo/ZarvMemo.h>

#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/support/navigator/Navigator.h>
#include <ZarvMemo/support/navigator/NavigatorAdjust.h>

#include <algorithm>

namespace zarv {

namespace {

void checkPar(const TParagraphsList& L, int32_t p) {
  if (p < 0 || p >= L.Count())
    throw ERangeError();
}

} // namespace

// ---- Whole text -------------------------------------------------------------------------

void TZarvMemo::SetTextBuf(const QString& text) try {
  const TEntryScope entry(ownerId());
  // Unlocked, the new text shows from its start; a locked control keeps
  // its view on the same paragraph (the replaced text took the top
  // position to the start with it).
  const int32_t topPar = fDisplayTop->GetParNb();
  SelectAll();
  SetSelTextBuf(text);
  setSelStart(0);
  if (fLockedCount == 0)
    setTopOrigin(0);
  else
    fDisplayTop->SetParPos(std::min(topPar, GetParCount() - 1), 0);
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

// Replaces the text between a and b and moves every navigator of the
// control as the edit says (those marked to go with deleted text are freed).
void TZarvMemo::replaceRange(TZarvNavigator& a, TZarvNavigator& b, const std::u16string& buf, bool discard,
                             bool checkFormat) {
  TParagraphsList& L = *fParagraphs;
  TEditRange edit;
  edit.StartPos = a.GetPos();
  edit.StartPar = a.GetParNb();
  edit.OldStopPos = b.GetPos();
  edit.OldStopPar = b.GetParNb();
  int32_t od = 0, ld = 0;
  bool dc = false;
  L.InsertBuf(buf.empty() ? nullptr : buf.c_str(), a, b, discard, checkFormat, od, ld, dc);
  // Discarding trailing blanks may have started the edit earlier, at the
  // blanks before the range.
  if (a.GetPos() < edit.StartPos) {
    edit.StartPos = a.GetPos();
    edit.StartPar = a.GetParNb();
  }
  edit.NewStopPos = b.GetPos();
  edit.NewStopPar = b.GetParNb();
  {
    const ParInfo& par = *L.Par(edit.StartPar);
    fLongLines.NoteEdit(edit.StartPar, edit.OldStopPar, edit.NewStopPar, edit.StartPos - par.StartOffset,
                        edit.NewStopPos - par.StartOffset, GetParLength(par), edit.NewStopPos - edit.OldStopPos);
  }
  std::vector<TZarvNavigator*> toFree;
  AdjustNavigators(L, fNavigators, edit, toFree);
  for (TZarvNavigator* n : toFree)
    delete n; // a navigator marked fFreeOnDelete is heap-made and unregisters itself
  DropUpText();
  fModified = true;
  fPendingChange = true;
}

// ---- Characters and paragraphs ------------------------------------------------------------

QChar TZarvMemo::getChar(int32_t n) const {
  TZarvNavigator nav(&Paragraphs());
  nav.SetPos(std::clamp(n, 0, getCharCount()));
  const int32_t off = nav.GetOffset();
  const ParInfo& par = *nav.GetPar();
  if (off < GetParLength(par))
    return QChar(par.ParText[off]);
  return off == GetParLength(par) ? QChar(u'\r') : QChar(u'\n');
}

int32_t TZarvMemo::GetParFromOffset(int32_t n) const {
  TZarvNavigator nav(&Paragraphs());
  nav.SetPos(std::clamp(n, 0, getCharCount()));
  return nav.GetParNb();
}

int32_t TZarvMemo::getParsOffset(int32_t p) const {
  checkPar(*fParagraphs, p);
  return fParagraphs->Par(p)->StartOffset;
}

QString TZarvMemo::getParString(int32_t p) const {
  checkPar(*fParagraphs, p);
  return fParagraphs->ParString(p);
}

TColor TZarvMemo::getParBackgnd(int32_t p) const {
  checkPar(*fParagraphs, p);
  return zvsGetParBackgnd(*fParagraphs->Par(p));
}

TColor TZarvMemo::getParForegnd(int32_t p) const {
  checkPar(*fParagraphs, p);
  return zvsGetParForegnd(*fParagraphs->Par(p));
}

void TZarvMemo::setParBackgnd(int32_t p, TColor c) try {
  const TEntryScope entry(ownerId());
  checkPar(*fParagraphs, p);
  zvsSetParBackgnd(*fParagraphs->Par(p), c);
  if (DisplayReady())
    Repaint();
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::setParForegnd(int32_t p, TColor c) try {
  const TEntryScope entry(ownerId());
  checkPar(*fParagraphs, p);
  zvsSetParForegnd(*fParagraphs->Par(p), c);
  if (DisplayReady())
    Repaint();
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

bool TZarvMemo::getParWrapable(int32_t p) const {
  checkPar(*fParagraphs, p);
  return !(fParagraphs->Par(p)->ParState & zvpNoWrap);
}

void TZarvMemo::setParWrapable(int32_t p, bool w) try {
  const TEntryScope entry(ownerId());
  checkPar(*fParagraphs, p);
  ParInfo& par = *fParagraphs->Par(p);
  if (w == !(par.ParState & zvpNoWrap))
    return;
  par.ParState = static_cast<TParStates>(w ? par.ParState & ~zvpNoWrap : par.ParState | zvpNoWrap);
  fLongLines.Forget(p);
  if (!fWordWrap)
    return;
  par.ParState &= static_cast<TParStates>(~zvpFormatted);
  fParagraphs->ExtendMods(p, 0, p);
  if (fLockedCount == 0)
    EndModifications();
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

// ---- Selection --------------------------------------------------------------------------------

int32_t TZarvMemo::getSelStart() const { return fcp->GetPos(); }

void TZarvMemo::clearSelection(int32_t at) {
  fSelStart->SetPos(at);
  fSelStop->SetPos(at);
  fcp = fSelStart;
  fSelLen = 0;
}

void TZarvMemo::setSelStart(int32_t n) try {
  const TEntryScope entry(ownerId());
  fExtraCols.clear();
  fXCaretRunningPos = INT32_MIN;
  clearSelection(std::clamp(n, 0, getCharCount()));
  fUndoBreak = true;
  UpdateCaret(false);
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

// Selects from the caret over n characters (negative: backwards); the caret
// stays where it is.
void TZarvMemo::setSelLength(int32_t n) try {
  const TEntryScope entry(ownerId());
  const int32_t caret = getSelStart();
  const int32_t other = int32_t(std::clamp<int64_t>(int64_t(caret) + n, 0, getCharCount()));
  if (other == caret) {
    clearSelection(caret);
  } else if (other > caret) {
    fSelStart->SetPos(caret);
    fSelStop->SetPos(other);
    fcp = fSelStart;
    fSelLen = other - caret;
  } else {
    fSelStart->SetPos(other);
    fSelStop->SetPos(caret);
    fcp = fSelStop;
    fSelLen = other - caret;
  }
  fUndoBreak = true;
  fsSelLenDirty = true;
  UpdateCaret(false);
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

int32_t TZarvMemo::getSelPar() const { return fcp->GetParNb(); }

void TZarvMemo::setSelPar(int32_t p) try {
  const TEntryScope entry(ownerId());
  p = std::clamp(p, 0, GetParCount() - 1);
  setSelStart(fParagraphs->Par(p)->StartOffset);
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

// A column block reads as its rows' columns, as it is copied.
QString TZarvMemo::getSelText() const {
  if (fBlockSelection && fSelLen != 0)
    return SelectedBlockText();
  return GetTextPart(fSelStart->GetPos(), fSelStop->GetPos());
}

int32_t TZarvMemo::GetSelContext() const { return DynToContext(*fcp->GetpDynInfo()); }

// ---- Folding ------------------------------------------------------------------------------------

bool TZarvMemo::MakeCollapsibleBlock(int32_t StartPar, int32_t StopPar) try {
  const TEntryScope entry(ownerId());
  TUpdateLock lock(*this);
  return fParagraphs->MakeCollapsibleBlock(StartPar, StopPar);
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
  return {};
}

void TZarvMemo::RemoveCollapsibleBlock(int32_t Par) try {
  const TEntryScope entry(ownerId());
  TUpdateLock lock(*this);
  fParagraphs->RemoveCollapsibleBlock(Par);
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

bool TZarvMemo::MakeSelCollapsible() { return MakeCollapsibleBlock(fSelStart->GetParNb(), fSelStop->GetParNb()); }
void TZarvMemo::RemoveSelCollapsible() { RemoveCollapsibleBlock(fcp->GetParNb()); }

bool TZarvMemo::CollapseBlock(int32_t Par, int32_t Level) try {
  const TEntryScope entry(ownerId());
  TUpdateLock lock(*this);
  return fParagraphs->CollapseExpandPar(Par, Level, Level, true);
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
  return {};
}

bool TZarvMemo::ExpandBlock(int32_t Par, int32_t Level) try {
  const TEntryScope entry(ownerId());
  TUpdateLock lock(*this);
  return fParagraphs->CollapseExpandPar(Par, Level, Level, false);
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
  return {};
}

std::vector<bool> TZarvMemo::GetBlocksStates(int32_t Par) const {
  checkPar(*fParagraphs, Par);
  const ParInfo& par = *fParagraphs->Par(Par);
  std::vector<bool> states(size_t(zvsGetParLevel(par)));
  for (size_t i = 0; i < states.size(); ++i)
    states[i] = zvsGetParCollapsed(par, int(i) + 1);
  return states;
}

void TZarvMemo::CheckIntegrity() const {
  const QString e = fParagraphs->CheckIntegrity();
  if (!e.isEmpty())
    throw EZarvError(e + QLatin1Char(' ') + getVersion());
}

} // namespace zarv

namespace zarv {

// ---- Paragraph and line strings ------------------------------------------------------------

void TZarvMemo::setParString(int32_t p, const QString& s) try {
  const TEntryScope entry(ownerId());
  TParagraphsList& L = *fParagraphs;
  if (p < 0 || p > L.Count())
    throw ERangeError();
  const int32_t caretPar = fcp->GetParNb();
  if (caretPar == p)
    setSelStart(L.Par(p)->StartOffset);
  const int32_t caret = getSelStart();
  const int32_t selLen = fSelLen;
  const int32_t oldLen = p < L.Count() ? GetParLength(*L.Par(p)) : -2; // appending adds a break
  {
    TUpdateLock lock(*this);
    if (p == L.Count()) {
      setSelStart(L.fTextLen);
      SetSelTextBuf(QStringLiteral("\r\n"));
    }
    const int32_t start = L.Par(p)->StartOffset;
    setSelStart(start);
    setSelLength(GetParLength(*L.Par(p)));
    SetSelTextBuf(s);
    const int32_t delta = int32_t(s.size()) - oldLen;
    setSelStart(caretPar > p ? caret + delta : caret);
    if (caretPar != p)
      setSelLength(selLen);
  }
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

QString TZarvMemo::getLineString(int32_t l) {
  if (l < 0)
    return {};
  if (fWordWrap)
    formatUpToLine(l);
  if (l >= getTotalLineCount())
    return {};
  TZarvNavigator n(&Paragraphs());
  n.AttachMemo(this);
  n.SetLineNb(l);
  return n.GetLine();
}

void TZarvMemo::setSelLine(int32_t l) try {
  const TEntryScope entry(ownerId());
  if (fWordWrap)
    formatUpToLine(l);
  TZarvNavigator n(&Paragraphs());
  n.AttachMemo(this);
  n.SetLineNb(std::clamp(l, 0, std::max(0, getTotalLineCount() - 1)));
  setSelStart(n.GetPos());
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

int32_t TZarvMemo::getSelLine() const { return fcp->GetLineNb(); }

void TZarvMemo::setSelCol(int32_t c) try {
  const TEntryScope entry(ownerId());
  const int32_t pos = getSelStart();
  TZarvNavigator n(&Paragraphs());
  n.AttachMemo(this);
  n.SetPos(pos);
  n.SetColNb(std::max(0, c));
  setSelStart(n.GetPos());
  const int32_t missing = c - n.GetColNb();
  if (fOptions.testFlag(zvoKeepColumnPos) && !fWordWrap && missing > 0)
    fExtraCols = QString(missing, QLatin1Char(' '));
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

int32_t TZarvMemo::getSelCol() const { return fcp->GetColNb() + int32_t(fExtraCols.size()); }

QString TZarvMemo::getCurrentWord() const { return fcp->GetWord(); }

uint8_t TZarvMemo::getCurrentStyle() {
  const int32_t p = fcp->GetParNb();
  ParseStartStopNow(p);
  ParInfo& par = *fParagraphs->Par(p);
  if (!(par.ParState & zvpKeywDone) && NeedsKeywordPass()) {
    ApplyKeywordsToParagraph(p);
    par.ParState |= zvpKeywDone;
  }
  fcp->ForgetIndexes();
  return AttrToExtFontStyles(fcp->GetStyle(), fcp->GetpDynInfo()->DynStyle);
}

// ---- Folding at the caret and everywhere -----------------------------------------------------

bool TZarvMemo::CollapseSel() try {
  const TEntryScope entry(ownerId());
  const int32_t p = fcp->GetParNb();
  const int level = zvsGetParLevel(*fParagraphs->Par(p));
  return level > 0 ? CollapseBlock(p, level) : fcp->Collapse(true);
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
  return {};
}

bool TZarvMemo::ExpandSel() try {
  const TEntryScope entry(ownerId());
  const int32_t p = fcp->GetParNb();
  const int level = zvsGetParLevel(*fParagraphs->Par(p));
  return level > 0 ? ExpandBlock(p, level) : fcp->Expand(true);
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
  return {};
}

void TZarvMemo::foldAll(bool collapse, bool allLevels, bool blocks, bool runs) {
  TUpdateLock lock(*this);
  TParagraphsList& L = *fParagraphs;
  if (blocks)
    for (int32_t p = 0; p < L.Count(); ++p) {
      const int from = p > 0 ? zvsGetParBlockEndLevel(*L.Par(p - 1)) + 1 : 1;
      const int to = allLevels ? zvsGetParLevel(*L.Par(p)) : std::min(1, zvsGetParLevel(*L.Par(p)));
      for (int level = from; level <= to; ++level)
        L.CollapseExpandBlock(p, level, collapse);
    }
  if (!runs)
    return;
  if (collapse)
    DoDynParse(0, L.Count() - 1, false);
  // Every code that opens a deeper collapse level than the one before it.
  TZarvNavigator n(&L);
  n.AttachMemo(this);
  int previous = DynToCollapseLevel(*GetStartDynAttrib(*L.Par(0)));
  while (n.NextDyn()) {
    const int level = DynToCollapseLevel(*n.GetpDynInfo());
    if (level > previous && (allLevels || level == 1))
      collapse ? n.Collapse(true) : n.Expand(true);
    previous = level;
  }
}

void TZarvMemo::CollapseAll(bool AllLevels, bool Blocks, bool Runs) { foldAll(true, AllLevels, Blocks, Runs); }
void TZarvMemo::ExpandAll(bool AllLevels, bool Blocks, bool Runs) { foldAll(false, AllLevels, Blocks, Runs); }

} // namespace zarv
