// The control fields and font operations that the store layer reads.
#include <ZarvMemo/support/MemoHost.h>

#include <ZarvMemo/support/highlight/HighlightPass.h>
#include <ZarvMemo/support/highlight/Highlighter.h>
#include <ZarvMemo/support/highlight/KeywordMatcher.h>
#include <ZarvMemo/support/navigator/Navigator.h>
#include <ZarvMemo/support/store/ParagraphsList.h>

#include <QFontInfo>
#include <algorithm>
#include <limits>

namespace zarv {

TCharSet DefaultDelimiters() { return MakeCharSet(std::string_view("\t\n\r $%&,./:;<=>")); }

TZarvMemoHost::TZarvMemoHost()
    : fDelimiters(DefaultDelimiters()), fKeywords(std::make_unique<TKeywordList>()),
      fStartStopKeys(std::make_unique<TStartStopKeyList>()), fParagraphs(std::make_unique<TParagraphsList>()),
      fMeasure(std::make_unique<TZarvCanvas>()) {
  fParagraphs->EnsureOneParagraph();
}

TZarvMemoHost::~TZarvMemoHost() {
  setHighlighter(nullptr);
  FreeNavigators();
}

TKeywordMatcher& TZarvMemoHost::KeywordMatcher() {
  if (!fKeywordMatcher)
    fKeywordMatcher = std::make_unique<TKeywordMatcher>();
  fKeywordMatcher->Update(*fKeywords);
  return *fKeywordMatcher;
}

void TZarvMemoHost::setHighlighter(TZarvHighlighter* h) {
  if (h == fHighlighter)
    return;
  if (fHighlighter) {
    auto& list = fHighlighter->MemoList;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
  fHighlighter = h;
  if (h)
    h->MemoList.push_back(this);
}

void TZarvMemoHost::setUpperCaseType(TzvUpperCase t) {
  fUpperCaseType = t;
  fKeywords->setUpperCaseType(t);
  fStartStopKeys->setUpperCaseType(t);
  DropUpText();
}

void TZarvMemoHost::setDelimiters(const TCharSet& set) {
  fDelimiters = set;
  fDelimiters.set('\r');
  fDelimiters.set('\n');
  fStartStopKeys->fDelChecked = false;
}

const char16_t* TZarvMemoHost::GetUpText(int32_t parNb) {
  if (parNb != fUpParNb) {
    const ParInfo& p = *fParagraphs->getParPointers(parNb);
    const int32_t len = GetParLength(p);
    fUpText.assign(p.ParText ? p.ParText : u"", static_cast<size_t>(len));
    zvUpperCaseBuf(fUpperCaseType, fUpText.data(), len);
    fUpParNb = parNb;
  }
  return fUpText.c_str();
}

void TZarvMemoHost::DoDynParse(int32_t first, int32_t last, bool force) {
  TParagraphsList& L = *fParagraphs;
  last = std::min(last, L.Count() - 1);
  for (int32_t p = std::max(first, 0); p <= last; ++p) {
    const bool parsed = (L.Par(p)->ParState & zvpSSDone) && p <= L.fLastStartStopParsed;
    if (force ? !(L.Par(p)->ParState & zvpSSDone) : !parsed)
      p = HighlightParagraphs(*this, p, p);
  }
}

void TZarvMemoHost::ReApplyKeywords() {
  TParagraphsList& L = *fParagraphs;
  for (int32_t p = 0; p < L.Count(); ++p) {
    ParInfo& par = *L.Par(p);
    par.ParState &= static_cast<TParStates>(~(zvpFormatted | zvpSSDone | zvpKeywDone));
    if (par.ParState & zvpHasExtra)
      par.ParExtra->DynCodes.clear();
    SetStartDynAttrib(par, nullptr, false);
  }
  for (TZarvNavigator* n : fNavigators)
    n->Invalidate();
  L.fLastStartStopParsed = -1;
  DropUpText();
}

bool TZarvMemoHost::NeedsKeywordPass() const { return fHighlighter || (fApplyKeyWords && fKeywords->GetCount() > 0); }

void TZarvMemoHost::ApplyKeywordsToParagraph(int32_t parNb) {
  TZarvNavigator a(fParagraphs.get()), b(fParagraphs.get());
  a.AttachMemo(this);
  b.AttachMemo(this);
  a.setParNb(parNb);
  b.setParNb(parNb);
  b.setParOffset(GetParLength(*b.GetPar()));
  ApplyKeywordsListP(a, b);
}

int32_t TZarvMemoHost::TabWidth() const {
  const int64_t t = fTabStops > 0 ? static_cast<int64_t>(fTabStops) * fSpaceWidth : -static_cast<int64_t>(fTabStops);
  return SaturatedWidth(t);
}

void TZarvMemoHost::RegisterNavigator(TZarvNavigator* nav) { fNavigators.push_back(nav); }

void TZarvMemoHost::UnregisterNavigator(TZarvNavigator* nav) {
  // Recently created navigators are the ones most often freed again.
  auto it = std::find(fNavigators.rbegin(), fNavigators.rend(), nav);
  if (it != fNavigators.rend())
    fNavigators.erase(std::next(it).base());
}

void TZarvMemoHost::FreeNavigators() {
  while (!fNavigators.empty()) {
    // The destructor unregisters the navigator.
    std::unique_ptr<TZarvNavigator> nav(fNavigators.back());
  }
}

uint8_t TZarvMemoHost::AttrToExtFontStyles(TZarvFontStyles styles, uint8_t dynStyle) const {
  if (!(dynStyle & dsHasAttrib)) {
    const QFont& f = BaseFont();
    uint8_t own = 0;
    if (f.bold())
      own |= fsBold;
    if (f.italic())
      own |= fsItalic;
    if (f.underline())
      own |= fsUnderline;
    if (f.strikeOut())
      own |= fsStrikeOut;
    return static_cast<uint8_t>(styles ^ own);
  }
  // Strike-out together with highlight marks the special (wavy) underline.
  if ((dynStyle & (fsStrikeOut | fsHighlight)) == (fsStrikeOut | fsHighlight))
    return static_cast<uint8_t>(dynStyle & ~(fsStrikeOut | fsHighlight | dsHasLevel));
  return static_cast<uint8_t>(dynStyle & ~(dsHasLevel | dsHasAttrib));
}

void TZarvMemoHost::SetupFont(QFont& target, uint8_t styles) const {
  target = TZarvCanvas::PrepareFont((styles & fsAltFont) ? fAltFont : BaseFont());
  target.setBold(styles & fsBold);
  target.setItalic(styles & fsItalic);
  target.setUnderline(styles & fsUnderline);
  target.setStrikeOut(styles & fsStrikeOut);
}

void TZarvMemoHost::SelectFont(uint8_t styles) const {
  QFont f;
  SetupFont(f, static_cast<uint8_t>(styles & ~fsHighlight));
  fMeasure->SetFont(f);
}

void TZarvMemoHost::UpdateFontDependantFields() {
  fMeasure->SetFont(BaseFont());
  const QFontMetrics& m = fMeasure->Metrics();
  const int32_t H = m.height();
  const int32_t D = m.descent();
  const int32_t IL = std::max(0, H - QFontInfo(fMeasure->Font()).pixelSize());
  const int32_t MW = m.maxWidth();
  if (fAutoLineHeight)
    fLineHeight = H + 1;
  // Every pixel offset down to below the last line (and a line more) must
  // fit 32 bits: very tall lines are made lower when the text has many.
  const int64_t lines = int64_t(fParagraphs->fVisibleLineCount) + 2;
  if (lines * fLineHeight > std::numeric_limits<int32_t>::max())
    fLineHeight = std::max<int32_t>(1, int32_t(std::numeric_limits<int32_t>::max() / lines));
  fLineBase = fLineHeight - D - (fLineHeight - H + 1) / 2;
  if (fLineBase < H - IL - D) {
    fLineBase = fLineHeight - IL;
    if (fLineBase < H - D - IL)
      fLineBase = fLineHeight;
  }
  fLineDescent = fLineBase + D;
  fSpaceWidth = std::max(1, fMeasure->CharWidth(u' '));
  fMaxOneShotChars = MW >= 1 ? 16384 / MW : 256;
}

} // namespace zarv
