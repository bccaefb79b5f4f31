// Address recognition over a paragraph's text, the runs laid in one merge,
// and opening an address that was clicked.
#include <ZarvMemo/highlighters/URLHighlighter.h>

#include <ZarvMemo/highlighters/CustomExtHighlighter.h>
#include <ZarvMemo/highlighters/HandlerGuard.h>
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/platform/IntegrityGuard.h>
#include <ZarvMemo/support/MemoHost.h>
#include <ZarvMemo/support/highlight/HighlightPass.h>
#include <ZarvMemo/support/navigator/Navigator.h>
#include <ZarvMemo/support/store/ParagraphsList.h>

#include <QDesktopServices>
#include <QMouseEvent>
#include <algorithm>
#include <array>
#include <string_view>

namespace zarv {

namespace {

constexpr TURLHighlighter::TEntry kEntries[TURLHighlighter::kEntryCount] = {
    {u"HTTP://", 7, TURLHighlighter::urlWeb, true, u""},
    {u"WWW.", 4, TURLHighlighter::urlWeb, true, u"http://"},
    {u"MAILTO:", 7, TURLHighlighter::urlEmail, true, u""},
    {u"@", 1, TURLHighlighter::urlEmail, false, u"mailto:"},
    {u"NEWS:", 5, TURLHighlighter::urlNNTP, true, u""},
    {u"NNTP://", 7, TURLHighlighter::urlNNTP, true, u""},
    {u"FTP://", 6, TURLHighlighter::urlFile, true, u""},
    {u"FTP.", 4, TURLHighlighter::urlFile, true, u"ftp://"},
    {u"GOPHER://", 9, TURLHighlighter::urlOther, true, u""},
    {u"GOPHER.", 7, TURLHighlighter::urlOther, true, u"gopher://"},
    {u"TELNET://", 9, TURLHighlighter::urlOther, true, u""},
    {u"TN3270://", 9, TURLHighlighter::urlOther, true, u""},
    {u"WAIS://", 7, TURLHighlighter::urlOther, true, u""},
    {u"PROSPERO://", 11, TURLHighlighter::urlOther, true, u""},
    {u"HTTPS://", 8, TURLHighlighter::urlWeb, true, u""},
    {u"FILE://", 7, TURLHighlighter::urlFile, true, u""},
};

char16_t upper(char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; }
bool isTrailing(char16_t c) { return c == u',' || c == u'.' || c == u';'; }

// Per 7-bit character: bit 0 a URL separator, bit 1 the first letter of a
// word-initial entry (either case). Everything else is passed over with one
// look-up.
constexpr uint8_t kSep = 1, kFirst = 2;
const std::array<uint8_t, 128>& charClasses() {
  static const std::array<uint8_t, 128> table = [] {
    std::array<uint8_t, 128> t{};
    for (const char16_t c : std::u16string_view(u"\t \"'()<>"))
      t[size_t(c)] |= kSep;
    for (const auto& e : kEntries) {
      if (!e.WordInitial)
        continue;
      t[size_t(e.Text[0])] |= kFirst;
      if (e.Text[0] >= u'A' && e.Text[0] <= u'Z')
        t[size_t(e.Text[0] + 32)] |= kFirst;
    }
    return t;
  }();
  return table;
}

bool separator(char16_t c) { return c < 128 && (charClasses()[c] & kSep); }

// The word-initial entry at i (a separator or the paragraph start before
// it), or -1.
int wordInitialEntryAt(const char16_t* text, int32_t len, int32_t i) {
  for (int k = 0; k < TURLHighlighter::kEntryCount; ++k) {
    const TURLHighlighter::TEntry& e = kEntries[k];
    if (!e.WordInitial || int64_t(i) + e.Len >= len || upper(text[i]) != e.Text[0])
      continue;
    bool same = true;
    for (int32_t j = 1; j < e.Len && same; ++j)
      same = upper(text[i + j]) == e.Text[j];
    if (same && !separator(text[i + e.Len]))
      return k;
  }
  return -1;
}

// Calls take(found) for each address of text[0, len) (see FindURLs); the
// scan goes on after the word of each candidate, taken or not.
template <typename F>
void scanURLs(const char16_t* text, int32_t len, F&& take) {
  const std::array<uint8_t, 128>& cls = charClasses();
  for (int32_t i = 0; i < len;) {
    const char16_t c = text[i];
    int k = -1;
    if (c == u'@') {
      if (i > 0 && i + 1 < len && !separator(text[i - 1]) && !separator(text[i + 1]))
        k = TURLHighlighter::kAtEntry;
    } else if (c < 128 && (cls[c] & kFirst) && (i == 0 || separator(text[i - 1]))) {
      k = wordInitialEntryAt(text, len, i);
    }
    if (k < 0) {
      ++i;
      continue;
    }
    int32_t start = i;
    if (k == TURLHighlighter::kAtEntry)
      while (start > 0 && !separator(text[start - 1]))
        --start;
    int32_t wordEnd = i + kEntries[k].Len;
    while (wordEnd < len && !separator(text[wordEnd]))
      ++wordEnd;
    int32_t stop = wordEnd;
    while (stop > start + 1 && isTrailing(text[stop - 1]))
      --stop;
    stop = int32_t(std::min<int64_t>(stop, int64_t(start) + TURLHighlighter::kMaxURLLength));
    // Every other candidate of this word gives the same address: the word
    // is done either way.
    take(TURLHighlighter::TFound{start, stop, k});
    i = wordEnd;
  }
}

constexpr uint8_t kStartCode = dsHasLevel | dsHasAttrib;

} // namespace

const TURLHighlighter::TEntry& TURLHighlighter::Entries(int k) { return kEntries[k]; }

bool TURLHighlighter::IsSeparator(char16_t c) { return separator(c); }

void TURLHighlighter::FindURLs(const char16_t* text, int32_t len, std::vector<TFound>& out,
                               const std::function<bool(const TFound&)>& refuse) {
  scanURLs(text, len, [&](const TFound& f) {
    if (!refuse || !refuse(f))
      out.push_back(f);
  });
}

QString TURLHighlighter::LaunchText(int k, const QString& address) {
  if (k < 0 || k >= kEntryCount)
    return address;
  return QString::fromUtf16(kEntries[k].LaunchPrefix) + address;
}

bool TURLHighlighter::OpensUnasked(const QUrl& url) {
  static const QStringList safe = {QStringLiteral("http"),   QStringLiteral("https"), QStringLiteral("ftp"),
                                   QStringLiteral("mailto"), QStringLiteral("news"),  QStringLiteral("nntp")};
  return safe.contains(url.scheme().toLower());
}

// ---- The component --------------------------------------------------------------

TURLHighlighter::TURLHighlighter(QObject* parent) : TZarvHighlighter(parent) {
  struct TLook {
    TZarvFontStyles Style;
    TColor Back, Fore;
  };
  static constexpr TLook kLooks[5] = {{fsUnderline, clDefault, 0xFF0000},
                                      {fsUnderline, clDefault, 0x008000},
                                      {fsUnderline, clDefault, 0x0000FF},
                                      {fsUnderline, clDefault, 0xFF00FF},
                                      {fsItalic, TColor(0xFF000018), 0xC0C0C0}};
  for (int t = 0; t < 5; ++t) {
    fInfo[t] = new THighlightInfo(this);
    fInfo[t]->SetLook(false, kLooks[t].Style, kLooks[t].Back, kLooks[t].Fore);
    fInfo[t]->setCursor(-21); // the pointing hand
    connect(fInfo[t], &THighlightInfo::changed, this, [this] { HighlightChange(); });
  }
}

TURLHighlighter::~TURLHighlighter() {
  for (TServed& s : fServed) {
    QObject::disconnect(s.Gone);
    if (s.Memo) {
      s.Memo->RemoveNotify(this);
      s.Memo->RemoveMsgListener(this);
    }
  }
}

void TURLHighlighter::setBaseContext(int v) {
  if (v == fBaseContext)
    return;
  fBaseContext = v;
  HighlightChange();
}

void TURLHighlighter::setScope(int v) {
  if (v == fScope)
    return;
  fScope = v;
  HighlightChange();
}

void TURLHighlighter::setPriority(bool v) {
  if (v == fPriority)
    return;
  fPriority = v;
  HighlightChange();
}

void TURLHighlighter::HighlightChange() {
  std::vector<TZarvMemoHost*> controls = MemoList;
  for (TZarvMemo* m : ServedControls())
    if (std::find(controls.begin(), controls.end(), m) == controls.end())
      controls.push_back(m);
  for (TZarvMemoHost* m : controls)
    m->ReApplyKeywords();
}

std::vector<TZarvMemo*> TURLHighlighter::ServedControls() const {
  std::vector<TZarvMemo*> out;
  for (const TServed& s : fServed)
    if (s.Memo)
      out.push_back(s.Memo.data());
  return out;
}

// ---- Recognition -------------------------------------------------------------------

bool TURLHighlighter::ownRun(const DynInfoRec& d, int32_t base, int32_t& len) const {
  const int level = DynToLevel(d);
  if (level < 0 || level > 15)
    return false;
  const int32_t k = d.KeyIndex[level] - base;
  len = d.SS.StartKlen;
  return (d.DynStyle & kStartCode) == kStartCode && k >= 0 && k < kEntryCount && d.Context == fBaseContext + k;
}

// Whether f may be styled over the codes of par; with Priority it may be
// cut where a range ends or opens inside it. Gives the code to restore at
// its end and where that code began.
bool TURLHighlighter::styleable(const ParInfo& par, TFound& f, const DynInfoRec& inForce, DynInfoRec& restore,
                                int32_t& restoreFrom) {
  const int level = DynToLevel(inForce);
  if (level >= TCustomExtHighlighter::kMaxLevel)
    return false;
  const TDynInfoArray& codes = GetDynArray(par);
  for (size_t j = FirstDynAtOrAfter(codes, f.Start + 1); j < codes.size() && codes[j].DynOffset < f.Stop; ++j) {
    if (!fPriority)
      return false;
    const DynInfoRec& c = codes[j];
    const int lc = DynToLevel(c);
    if (lc == level && (level < 0 || c.KeyIndex[level] == inForce.KeyIndex[level])) {
      restore = c; // a keyword run inside ends here
      restoreFrom = c.DynOffset;
      continue;
    }
    if (lc > level && c.KeyIndex[lc] >= 0)
      continue;           // a keyword run the address covers
    f.Stop = c.DynOffset; // a range ends or opens: the address ends before it
    while (f.Stop > f.Start + 1 && isTrailing(par.ParText[f.Stop - 1]))
      --f.Stop;
    break;
  }
  if (f.Stop <= f.Start)
    return false;
  const int32_t context = DynToContext(inForce);
  if (OnURL)
    return OnURL(*this, int16_t(context), kEntries[f.Entry].Kind);
  return fPriority || context == fScope;
}

TRunToApply TURLHighlighter::urlRun(const TFound& f, const DynInfoRec& inForce, const DynInfoRec& restore,
                                    int32_t restoreFrom, int32_t base, bool restoreAtStop) const {
  const THighlightInfo& look = *fInfo[kEntries[f.Entry].Kind];
  TRunToApply r;
  r.Start = f.Start;
  r.Stop = f.Stop;
  DynInfoRec& d = r.Code;
  d = inForce;
  d.DynStyle = static_cast<uint8_t>((look.getStyle() & 0x0F) | kStartCode);
  d.Level = static_cast<int8_t>(DynToLevel(inForce) + 1);
  d.KeyIndex[d.Level] = static_cast<int16_t>(base + f.Entry);
  for (int l = d.Level + 1; l < 16; ++l)
    d.KeyIndex[l] = 0;
  d.CollpsLevel = static_cast<int8_t>(DynToCollapseLevel(inForce));
  d.CollpsState = 0;
  d.Cursor = look.getCursor();
  d.Backgnd = look.getBackground();
  d.Foregnd = look.getForeground();
  d.Context = fBaseContext + f.Entry;
  d.SS.StartKlen = d.SS.StopKLen = KlenOf(f.Stop - f.Start);
  r.Restore = restore;
  r.Restore.SS.StartKlen = KlenOf(int64_t(restore.SS.StartKlen) - (f.Stop - restoreFrom));
  r.RestoreAtStop = restoreAtStop;
  return r;
}

void TURLHighlighter::paragraph(TZarvMemoHost& memo, int32_t p, int32_t base, bool& changed, bool& found) {
  TParagraphsList& L = memo.Paragraphs();
  ParInfo& par = *L.Par(p);
  const int32_t len = GetParLength(par);
  // Addresses of an earlier pass are found again if they still are.
  const TDynInfoArray& before = GetDynArray(par);
  int32_t unused;
  const bool removed =
      std::any_of(before.begin(), before.end(), [&](const DynInfoRec& d) { return ownRun(d, base, unused); }) &&
      RemoveRuns(par, 0, std::max(len, 1), [&](const DynInfoRec& d, int32_t& n) { return ownRun(d, base, n); });
  std::vector<TRunToApply> runs;
  if (par.ParText && len > 0) {
    scanURLs(par.ParText, len, [&](const TFound& candidate) {
      TFound f = candidate;
      const TDynInfoArray& codes = GetDynArray(par);
      const size_t at = FirstDynAtOrAfter(codes, f.Start + 1);
      const DynInfoRec inForce = at > 0 ? codes[at - 1] : *GetStartDynAttrib(par);
      DynInfoRec restore = inForce;
      int32_t restoreFrom = at > 0 ? inForce.DynOffset : 0;
      const THandlerGuard guard(L, p);
      const bool ok = styleable(par, f, inForce, restore, restoreFrom);
      guard.Check();
      if (ok)
        runs.push_back(urlRun(f, inForce, restore, restoreFrom, base, par.StartOffset + f.Stop < L.fTextLen));
    });
  }
  if (!runs.empty()) {
    TDynInfoArray scratch;
    MergeRuns(GetDynArrayForWrite(par), runs, scratch);
    found = true;
  }
  if (removed || !runs.empty()) {
    par.ParState &= static_cast<TParStates>(~zvpFormatted);
    changed = true;
  }
}

void TURLHighlighter::ApplyKeywordsList(TZarvNavigator& StartNav, TZarvNavigator& StopNav, int32_t Base) {
  if (int64_t(Base) + kEntryCount - 1 > TCustomExtHighlighter::kMaxKeywordIndex) {
    static bool warned = false;
    if (!warned)
      qWarning("TURLHighlighter: the highlighting chain has too many keys; addresses are not marked");
    warned = true;
    return;
  }
  TZarvMemoHost& memo = *StartNav.Memo();
  ZARV_CHECKED_SCOPE("TURLHighlighter::ApplyKeywordsList", TParagraphsList, memo.Paragraphs(), s.CheckIntegrity());
  const int32_t first = StartNav.GetParNb(), last = StopNav.GetParNb();
  int32_t firstChanged = -1;
  bool found = false;
  // Whole paragraphs: an address reaches as far as its word, whatever part
  // of it changed.
  for (int32_t p = first; p <= last; ++p) {
    bool changed = false;
    paragraph(memo, p, Base, changed, found);
    if (changed && firstChanged < 0)
      firstChanged = p;
  }
  if (firstChanged >= 0)
    InvalidateNavs(memo.Navigators(), memo.Paragraphs().Par(firstChanged)->StartOffset, last);
  if (found && fLaunchURLs)
    serve(memo);
}

// ---- Opening -------------------------------------------------------------------------

void TURLHighlighter::serve(TZarvMemoHost& host) {
  auto* memo = dynamic_cast<TZarvMemo*>(&host);
  if (!memo)
    return;
  fServed.erase(std::remove_if(fServed.begin(), fServed.end(), [](const TServed& s) { return !s.Memo; }),
                fServed.end());
  if (std::any_of(fServed.begin(), fServed.end(), [memo](const TServed& s) { return s.Memo == memo; }))
    return;
  // Entering the list during one of its walks is safe: the walk only sees
  // the listeners it started with.
  memo->AddNotify(this);
  TServed s;
  s.Memo = memo;
  s.Object = memo;
  s.Gone = connect(memo, &QObject::destroyed, this, [this](QObject* gone) {
    fServed.erase(std::remove_if(fServed.begin(), fServed.end(),
                                 [gone](const TServed& x) { return x.Memo.isNull() || x.Object == gone; }),
                  fServed.end());
  });
  fServed.push_back(s);
}

bool TURLHighlighter::servesThroughChain(TZarvMemo& memo) const {
  TZarvHighlighter* h = memo.Highlighter();
  for (int depth = 0; h && depth < 256; ++depth) {
    if (h == this)
      return true;
    auto* ext = qobject_cast<TCustomExtHighlighter*>(h);
    h = ext ? ext->getSubHighlighter() : nullptr;
  }
  return false;
}

QString TURLHighlighter::URLAt(TZarvMemo& memo, int32_t pos) const {
  TParagraphsList& L = memo.Paragraphs();
  if (pos < 0 || pos > L.fTextLen || L.Count() == 0)
    return {};
  TZarvNavigator nav(&L);
  nav.SetPos(pos);
  const ParInfo& par = *nav.GetPar();
  const int32_t off = nav.GetOffset();
  const TDynInfoArray& codes = GetDynArray(par);
  const DynInfoRec* best = nullptr;
  for (const DynInfoRec& d : codes) {
    const int32_t k = d.Context - fBaseContext;
    if ((d.DynStyle & kStartCode) != kStartCode || k < 0 || k >= kEntryCount || d.SS.StartKlen == 0 ||
        d.DynOffset > off)
      continue;
    const int32_t end = d.DynOffset + d.SS.StartKlen;
    if (off < end)
      best = &d; // under the position
    else if (off == end && !best)
      best = &d; // just before it (the caret after the address's last character)
  }
  if (!best)
    return {};
  const int32_t n = std::min<int32_t>(best->SS.StartKlen, GetParLength(par) - best->DynOffset);
  return LaunchText(best->Context - fBaseContext,
                    QString::fromUtf16(par.ParText + best->DynOffset, qsizetype(std::max(0, n))));
}

bool TURLHighlighter::LaunchURL(QString text) {
  bool approved = false;
  if (OnURLLaunch) {
    if (!OnURLLaunch(*this, text))
      return false;
    approved = true;
  }
  const QUrl url(text, QUrl::StrictMode);
  if (!url.isValid() || url.scheme().isEmpty())
    return false;
  // A click on document text must not run or open whatever the text names.
  if (!approved && !OpensUnasked(url))
    return false;
  const bool opened = Opener ? Opener(url) : QDesktopServices::openUrl(url);
  if (opened)
    Q_EMIT launched(url);
  return opened;
}

bool TURLHighlighter::DeNotify(TZarvMemo* memo) {
  fContextString.clear();
  const bool was = memo && std::find(memo->MsgList().begin(), memo->MsgList().end(), this) != memo->MsgList().end();
  if (memo)
    memo->RemoveMsgListener(this);
  if (fWaitingIn == memo)
    fWaitingIn = nullptr;
  return was;
}

void TURLHighlighter::Notify(QObject* Sender, TzvEvents Events) {
  auto* memo = qobject_cast<TZarvMemo*>(Sender);
  if (!memo)
    return;
  if (Events & zveChange)
    DeNotify(memo);
  if ((Events & zveContext) && fLaunchURLs && servesThroughChain(*memo)) {
    const QEvent* e = memo->WinMsg.Event;
    const bool mouse = e && (e->type() == QEvent::MouseButtonRelease || e->type() == QEvent::MouseButtonPress);
    if (mouse && (static_cast<const QMouseEvent*>(e)->modifiers() & LaunchModifiers) != LaunchModifiers)
      return;
    const QString url = URLAt(*memo, memo->getSelStart());
    if (url.isEmpty())
      return;
    if (!fDblClickLaunch) {
      LaunchURL(url);
      return;
    }
    fContextString = url;
    fDblClick = false;
    fWaitingIn = memo;
    memo->AddMsgListener(this);
    return;
  }
  if ((Events & zveMessage) && memo == fWaitingIn && memo->WinMsg.Event) {
    switch (memo->WinMsg.Event->type()) {
    case QEvent::MouseButtonDblClick:
      fDblClick = true;
      break;
    case QEvent::MouseButtonRelease: {
      const QString url = fDblClick ? fContextString : QString();
      fDblClick = false;
      DeNotify(memo);
      if (!url.isEmpty())
        LaunchURL(url);
      break;
    }
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
      fDblClick = false;
      DeNotify(memo);
      break;
    default:
      break;
    }
  }
}

} // namespace zarv
