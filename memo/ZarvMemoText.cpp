// Reading and setting the text through the control: whole-text replacement,
// the selection and caret accessors, paragraph accessors, folding through
// the control, and the integrity check.
#include <ZarvMemo/memo/ZarvMemo.h>

#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/support/navigator/Navigator.h>

#include <algorithm>

namespace zarv {

namespace {

void checkPar(const TParagraphsList& L, int32_t p) {
  if (p < 0 || p >= L.Count())
    throw ERangeError();
}

} // namespace

// ---- Whole text -------------------------------------------------------------------------

void TZarvMemo::SetTextBuf(const QString& text) {
  // A listener or handler may destroy the control; nothing of it is
  // touched afterwards.
  QPointer<TZarvMemo> self(this);
  QString txt = text;
  DoNotify(fNotifyList, zveBeforeChange);
  if (self && OnBeforeChange)
    OnBeforeChange(*this, txt);
  if (!self)
    return;
  TZarvNavigator a(&Paragraphs()), b(&Paragraphs());
  b.SetPos(fParagraphs->fTextLen);
  int32_t od = 0, ld = 0;
  bool dc = false;
  const std::u16string buf = txt.toStdU16String();
  fParagraphs->InsertBuf(buf.c_str(), a, b, fOptions.testFlag(zvoDiscardTrailingSpaces), false, od, ld, dc);
  DropUpText();
  for (TZarvNavigator* nav : fNavigators)
    nav->Invalidate(), nav->SetPos(0);
  fSelLen = 0;
  fcp = fSelStart;
  fExtraCols.clear();
  fModified = true;
  fPendingChange = true;
  if (OnParse)
    OnParse(*this, 0, getCharCount());
  if (self && fLockedCount == 0)
    EndModifications();
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

void TZarvMemo::setParBackgnd(int32_t p, TColor c) {
  checkPar(*fParagraphs, p);
  zvsSetParBackgnd(*fParagraphs->Par(p), c);
  if (DisplayReady())
    Repaint();
}

void TZarvMemo::setParForegnd(int32_t p, TColor c) {
  checkPar(*fParagraphs, p);
  zvsSetParForegnd(*fParagraphs->Par(p), c);
  if (DisplayReady())
    Repaint();
}

bool TZarvMemo::getParWrapable(int32_t p) const {
  checkPar(*fParagraphs, p);
  return !(fParagraphs->Par(p)->ParState & zvpNoWrap);
}

void TZarvMemo::setParWrapable(int32_t p, bool w) {
  checkPar(*fParagraphs, p);
  ParInfo& par = *fParagraphs->Par(p);
  if (w == !(par.ParState & zvpNoWrap))
    return;
  par.ParState = static_cast<TParStates>(w ? par.ParState & ~zvpNoWrap : par.ParState | zvpNoWrap);
  if (!fWordWrap)
    return;
  par.ParState &= static_cast<TParStates>(~zvpFormatted);
  fParagraphs->ExtendMods(p, 0, p);
  if (fLockedCount == 0)
    EndModifications();
}

// ---- Selection --------------------------------------------------------------------------------

int32_t TZarvMemo::getSelStart() const { return fcp->GetPos(); }

void TZarvMemo::clearSelection(int32_t at) {
  fSelStart->SetPos(at);
  fSelStop->SetPos(at);
  fcp = fSelStart;
  fSelLen = 0;
}

void TZarvMemo::setSelStart(int32_t n) {
  fExtraCols.clear();
  fXCaretRunningPos = INT32_MIN;
  clearSelection(std::clamp(n, 0, getCharCount()));
  DoSelMove();
}

// Selects from the caret over n characters (negative: backwards); the caret
// stays where it is.
void TZarvMemo::setSelLength(int32_t n) {
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
  DoSelMove();
}

int32_t TZarvMemo::getSelPar() const { return fcp->GetParNb(); }

void TZarvMemo::setSelPar(int32_t p) {
  p = std::clamp(p, 0, GetParCount() - 1);
  setSelStart(fParagraphs->Par(p)->StartOffset);
}

QString TZarvMemo::getSelText() const {
  const QString all = GetTextContent();
  return all.mid(fSelStart->GetPos(), fSelStop->GetPos() - fSelStart->GetPos());
}

int32_t TZarvMemo::GetSelContext() const { return DynToContext(*fcp->GetpDynInfo()); }

// ---- Folding ------------------------------------------------------------------------------------

bool TZarvMemo::MakeCollapsibleBlock(int32_t StartPar, int32_t StopPar) {
  TUpdateLock lock(*this);
  return fParagraphs->MakeCollapsibleBlock(StartPar, StopPar);
}

void TZarvMemo::RemoveCollapsibleBlock(int32_t Par) {
  TUpdateLock lock(*this);
  fParagraphs->RemoveCollapsibleBlock(Par);
}

bool TZarvMemo::MakeSelCollapsible() { return MakeCollapsibleBlock(fSelStart->GetParNb(), fSelStop->GetParNb()); }
void TZarvMemo::RemoveSelCollapsible() { RemoveCollapsibleBlock(fcp->GetParNb()); }

bool TZarvMemo::CollapseBlock(int32_t Par, int32_t Level) {
  TUpdateLock lock(*this);
  return fParagraphs->CollapseExpandPar(Par, Level, Level, true);
}

bool TZarvMemo::ExpandBlock(int32_t Par, int32_t Level) {
  TUpdateLock lock(*this);
  return fParagraphs->CollapseExpandPar(Par, Level, Level, false);
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
