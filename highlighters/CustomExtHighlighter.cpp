// The extended highlighter as a component: its properties, the
// sub-highlighter chain and its links, the acceptance rule, and the
// persisted forms. The pass operations are in ExtKeywordPass.cpp and
// ExtStartStopPass.cpp.
#include <ZarvMemo/highlighters/CustomExtHighlighter.h>

#include <ZarvMemo/highlighters/ExtPassScratch.h>
#include <ZarvMemo/highlighters/HighlighterErrors.h>
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/platform/FilerError.h>
#include <ZarvMemo/platform/StringList.h>
#include <ZarvMemo/platform/ValueFiler.h>
#include <ZarvMemo/support/MemoHost.h>
#include <ZarvMemo/support/navigator/Navigator.h>

#include <QtGlobal>
#include <algorithm>
#include <cstring>

namespace zarv {

namespace {

TCharSet DefaultSeparators() { return MakeCharSet("\t ,.;"); }

// Codes below this never appear in the separators' text form.
constexpr int kFirstShownSeparator = 27;

bool designing(TComponentState s) { return (s & csDesigning) && !(s & csLoading); }

} // namespace

TCustomExtHighlighter::TCustomExtHighlighter(QObject* parent)
    : TZarvHighlighter(parent), fKeywords(std::make_unique<TExtKeywordList>()),
      fStartStopKeys(std::make_unique<TExtStartStopList>()), fDelimiters(DefaultSeparators()) {}

TCustomExtHighlighter::~TCustomExtHighlighter() {
  // Highlighters chaining this one forget it before it is half gone (the
  // destroyed() signal would come only after this destructor).
  while (!fChainedBy.empty()) {
    TCustomExtHighlighter* parent = fChainedBy.back();
    parent->unlinkSub();
    parent->ReApplyKeys();
  }
  unlinkSub();
}

// ---- Properties -------------------------------------------------------------------

void TCustomExtHighlighter::designTimeReApply() {
  if (designing(fComponentState))
    ReApplyKeys();
}

void TCustomExtHighlighter::setDelimiters(const TCharSet& set) {
  if (set == fDelimiters)
    return;
  fDelimiters = set;
  fStartStopKeys->fDelChecked = false;
  designTimeReApply();
}

QString TCustomExtHighlighter::getSeparators() const {
  QString s;
  for (int c = kFirstShownSeparator; c < 256; ++c)
    if (fDelimiters.test(size_t(c)))
      s += QChar(char16_t(c));
  return s;
}

void TCustomExtHighlighter::setSeparators(const QString& text) {
  TCharSet set;
  for (int c = 0; c < kFirstShownSeparator; ++c)
    set.set(size_t(c), fDelimiters.test(size_t(c)));
  for (const QChar ch : text)
    set.set(zvChar(ch.unicode()));
  setDelimiters(set);
}

void TCustomExtHighlighter::setActive(bool value) {
  if (value == fActive)
    return;
  fActive = value;
  if (fComponentState & csDesigning)
    ReApplyKeys();
}

void TCustomExtHighlighter::setAltFont(bool v) {
  if (v == fAltFont)
    return;
  fAltFont = v;
  designTimeReApply();
}

void TCustomExtHighlighter::setBackgnd(TColor v) {
  if (v == fBackgnd)
    return;
  fBackgnd = v;
  designTimeReApply();
}

void TCustomExtHighlighter::setForegnd(TColor v) {
  if (v == fForegnd)
    return;
  fForegnd = v;
  designTimeReApply();
}

void TCustomExtHighlighter::setStyle(TZarvFontStyles v) {
  if (v == fStyle)
    return;
  fStyle = v;
  designTimeReApply();
}

void TCustomExtHighlighter::setPriority(int32_t v) {
  if (v == fPriority)
    return;
  fPriority = v;
  designTimeReApply();
}

void TCustomExtHighlighter::setScope(int32_t v) {
  if (v == fScope)
    return;
  fScope = v;
  designTimeReApply();
}

// ---- The chain ----------------------------------------------------------------------

void TCustomExtHighlighter::setSubHighlighter(TZarvHighlighter* value) {
  if (value == fSubHighlighter)
    return;
  // Walk the candidate's chain; it is acyclic, so the walk ends.
  for (TZarvHighlighter* h = value; h;) {
    if (h == this)
      throw ECircularHighlighting();
    auto* ext = qobject_cast<TCustomExtHighlighter*>(h);
    h = ext ? ext->fSubHighlighter : nullptr;
  }
  unlinkSub();
  fSubHighlighter = value;
  if (value) {
    if (auto* ext = qobject_cast<TCustomExtHighlighter*>(value))
      ext->fChainedBy.push_back(this);
    // A plain highlighter has no destructor of ours that unlinks it.
    fSubGone = connect(value, &QObject::destroyed, this, [this](QObject* gone) { Notification(gone, opRemove); });
  }
  if (!(fComponentState & csLoading))
    ReApplyKeys();
}

void TCustomExtHighlighter::unlinkSub() {
  if (!fSubHighlighter)
    return;
  disconnect(fSubGone);
  if (auto* ext = qobject_cast<TCustomExtHighlighter*>(fSubHighlighter)) {
    auto& list = ext->fChainedBy;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
  fSubHighlighter = nullptr;
}

void TCustomExtHighlighter::Notification(QObject* component, TOperation operation) {
  if (operation == opRemove && component && component == fSubHighlighter) {
    // The object is gone: nothing of it may be read (no cast, no list).
    disconnect(fSubGone);
    fSubHighlighter = nullptr;
    ReApplyKeys();
  }
}

std::vector<TZarvMemoHost*> TCustomExtHighlighter::chainControls() const {
  std::vector<const TCustomExtHighlighter*> todo{this}, seen;
  std::vector<TZarvMemoHost*> controls;
  while (!todo.empty()) {
    const TCustomExtHighlighter* h = todo.back();
    todo.pop_back();
    if (std::find(seen.begin(), seen.end(), h) != seen.end())
      continue;
    seen.push_back(h);
    for (TZarvMemoHost* m : h->MemoList)
      if (std::find(controls.begin(), controls.end(), m) == controls.end())
        controls.push_back(m);
    todo.insert(todo.end(), h->fChainedBy.begin(), h->fChainedBy.end());
  }
  return controls;
}

void TCustomExtHighlighter::ReApplyKeys() {
  for (TZarvMemoHost* m : chainControls())
    m->ReApplyKeywords();
}

void TCustomExtHighlighter::Loaded() { fComponentState &= ~TComponentState(csLoading | csReading); }

// ---- Rules shared by the passes -------------------------------------------------------

bool TCustomExtHighlighter::KeyAccepted(int level, int32_t context, int32_t priority, bool insideRange, int32_t S,
                                        int32_t P, bool startKey) {
  if (level >= kMaxLevel)
    return false;
  if (P == kTopPriority)
    return true;
  if (S == 0 && P > priority)
    return true;
  if (startKey && S == 0 && insideRange)
    return false;
  return S == context;
}

int32_t TCustomExtHighlighter::GetPriority(const DynInfoRec& Dyn, int32_t Base) const {
  const int level = DynToLevel(Dyn);
  if (level < 0 || level > kMaxLevel)
    return 0;
  const int16_t k = Dyn.KeyIndex[level];
  if (k >= 0)
    return kTopPriority; // the innermost level is a keyword
  const int32_t local = int32_t(uint16_t(k) & 0x7FFF) - Base;
  if (local < 0 || local >= fStartStopKeys->Count())
    return 0; // a range of another list of the chain
  return fStartStopKeys->Entry(local).Priority;
}

bool TCustomExtHighlighter::wordOptionsAllow(TWordOptions options, const char16_t* text, int32_t pos) const {
  if (options.testFlag(woStartPar))
    return pos == 0;
  if (options.testFlag(woFirstNonBlank)) {
    for (int32_t i = 0; i < pos; ++i)
      if (text[i] != u' ' && text[i] != u'\t')
        return false;
    return true;
  }
  if (options.testFlag(woFirstParWord)) {
    for (int32_t i = 0; i < pos; ++i)
      if (!fDelimiters.test(zvChar(text[i])))
        return false;
  }
  return true;
}

void TCustomExtHighlighter::warnIndexOverflow() const {
  if (fOverflowWarned)
    return;
  fOverflowWarned = true;
  qWarning("%s: keys numbered past the 16-bit key numbers of style runs are not applied",
           qPrintable(objectName().isEmpty() ? QString::fromLatin1(metaObject()->className()) : objectName()));
}

int32_t TCustomExtHighlighter::startStopBaseIn(const TZarvMemoHost& memo) const {
  int32_t base = memo.StartStopKeys().Count();
  for (TZarvHighlighter* h = memo.Highlighter(); h;) {
    auto* ext = qobject_cast<TCustomExtHighlighter*>(h);
    if (!ext)
      break;
    base += ext->reservedStartStopKeys();
    if (h == this)
      return base;
    base += ext->fStartStopKeys->Count();
    h = ext->fSubHighlighter;
  }
  return memo.StartStopKeys().Count();
}

TKeywordMatcher& TCustomExtHighlighter::matcher() {
  if (!fMatcher)
    fMatcher = std::make_unique<TKeywordMatcher>();
  fMatcher->Update(*fKeywords);
  return *fMatcher;
}

// ---- Fixing the re-highlight range -------------------------------------------------------

int32_t TCustomExtHighlighter::FixRange(TZarvNavigator& Nav1, TZarvNavigator& Nav2, int32_t KeywordBase,
                                        int32_t StartStopBase) {
  bool moved = false;
  const TWordOptions positional = woFirstParWord | woFirstNonBlank;
  const TWordOptions gw = (fKeywords->GWOptions() | fStartStopKeys->GWOpt()) & positional;
  ParInfo& par = *Nav2.GetPar();
  const int32_t len = GetParLength(par);
  if (fActive && gw && Nav2.GetOffset() < len) {
    const TDynInfoArray& codes = GetDynArray(par);
    const int32_t off = Nav2.GetOffset();
    if (!codes.empty() && off < codes[0].DynOffset) {
      const DynInfoRec& first = codes[0];
      const int level = DynToLevel(first);
      if (level > DynToLevel(*GetStartDynAttrib(par))) {
        const int16_t k = first.KeyIndex[level];
        TWordOptions opts;
        if (k >= 0 && k - KeywordBase >= 0 && k - KeywordBase < fKeywords->GetCount())
          opts = fKeywords->KeyInfoLen(k - KeywordBase).BasicPart.Options;
        const int32_t local = int32_t(uint16_t(k) & 0x7FFF) - StartStopBase;
        if (k < 0 && local >= 0 && local < fStartStopKeys->Count())
          opts = fStartStopKeys->Entry(local).Attributes.Options;
        if (opts & positional) {
          Nav2.SetParPos(Nav2.GetParNb(), first.DynOffset);
          moved = true;
        }
      }
    }
    const bool byDelimiters = gw.testFlag(woFirstParWord);
    const char16_t* text = par.ParText;
    int32_t firstWord = 0;
    while (firstWord < len && (byDelimiters ? fDelimiters.test(zvChar(text[firstWord]))
                                            : (text[firstWord] == u' ' || text[firstWord] == u'\t')))
      ++firstWord;
    if (firstWord > Nav2.GetOffset()) {
      Nav2.SetParPos(Nav2.GetParNb(), firstWord);
      moved = true;
    }
  }
  if (fSubHighlighter)
    moved |= fSubHighlighter->FixRange(Nav1, Nav2, KeywordBase + fKeywords->GetCount(),
                                       StartStopBase + fStartStopKeys->Count()) != 0;
  return moved ? 1 : 0;
}

// ---- Persistence ------------------------------------------------------------------------

void TCustomExtHighlighter::WriteData(TWriter& writer) const {
  if (!fActive) {
    writer.WritePropName(QStringLiteral("Active"));
    writer.WriteBoolean(false);
  }
  writer.WritePropName(QStringLiteral("Delimiters"));
  QByteArray bits(32, '\0');
  for (int c = 0; c < 256; ++c)
    if (fDelimiters.test(size_t(c)))
      bits[c / 8] = char(bits[c / 8] | (1 << (c % 8)));
  writer.WriteBinary(bits);
  if (fSubHighlighter && !fSubHighlighter->objectName().isEmpty()) {
    writer.WritePropName(QStringLiteral("SubHighlighter"));
    writer.WriteIdent(fSubHighlighter->objectName());
  }
  writeProperties(writer);
  writer.WriteListEnd();
}

void TCustomExtHighlighter::writeProperties(TWriter& writer) const {
  if (!listsArePublished())
    return;
  if (fKeywords->GetCount() > 0) {
    writer.WritePropName(QStringLiteral("Keywords.Strings"));
    fKeywords->WriteData(writer);
  }
  if (fStartStopKeys->Count() > 0) {
    writer.WritePropName(QStringLiteral("StartStopKeys.Keys"));
    fStartStopKeys->WriteData(writer);
  }
}

bool TCustomExtHighlighter::readProperty(const QString&, TReader&) { return false; }

namespace {

// What reading takes in before anything of the highlighter changes.
struct TPendingLists {
  TExtKeywordList Keywords;
  TExtStartStopList StartStopKeys;
  bool KeywordsRead = false, StartStopKeysRead = false;
};

TCharSet ReadDelimiterBits(TReader& reader) {
  const QByteArray bits = reader.ReadBinary();
  if (bits.size() != 32)
    throw EReadError(QStringLiteral("%1: Delimiters hold %2 bytes, expected 32")
                         .arg(QLatin1String(SInvalidPropertyValue))
                         .arg(bits.size()));
  TCharSet set;
  for (int c = 0; c < 256; ++c)
    set.set(size_t(c), (uchar(bits[c / 8]) >> (c % 8)) & 1);
  return set;
}

} // namespace

void TCustomExtHighlighter::ReadData(TReader& reader) {
  bool active = true;
  TCharSet delimiters = DefaultSeparators();
  QString subName;
  auto lists = std::make_unique<TPendingLists>();
  beginRead();
  while (!reader.EndOfList()) {
    const QString name = reader.ReadPropName();
    if (name == QLatin1String("Active")) {
      active = reader.ReadBoolean();
    } else if (name == QLatin1String("Delimiters")) {
      delimiters = ReadDelimiterBits(reader);
    } else if (name == QLatin1String("Separators")) {
      // The text form: codes below 27 keep their default.
      const QString text = reader.ReadString();
      for (int c = kFirstShownSeparator; c < 256; ++c)
        delimiters.reset(size_t(c));
      for (const QChar ch : text)
        delimiters.set(zvChar(ch.unicode()));
    } else if (name == QLatin1String("SubHighlighter")) {
      subName = reader.ReadIdent();
    } else if (name == QLatin1String("Keywords.Strings") && listsArePublished()) {
      lists->Keywords.ReadData(reader);
      lists->KeywordsRead = true;
    } else if (name == QLatin1String("StartStopKeys.Keys") && listsArePublished()) {
      lists->StartStopKeys.ReadData(reader);
      lists->StartStopKeysRead = true;
    } else if (!readProperty(name, reader)) {
      reader.SkipValue();
    }
  }
  reader.ReadListEnd();
  // The whole section was read: apply it. Lists are stored only while they
  // have entries, so one not read is empty.
  fActive = active;
  if (delimiters != fDelimiters) {
    fDelimiters = delimiters;
    fStartStopKeys->fDelChecked = false;
  }
  if (listsArePublished()) {
    fKeywords->Assign(lists->Keywords);
    fStartStopKeys->Assign(lists->StartStopKeys);
  }
  commitRead();
  if (!subName.isEmpty() && parent())
    linkStoredSub(subName);
  designTimeReApply();
}

void TCustomExtHighlighter::linkStoredSub(const QString& name) {
  const auto found = parent()->findChildren<TZarvHighlighter*>(name, Qt::FindDirectChildrenOnly);
  if (found.isEmpty() || found.front() == this)
    return;
  try {
    setSubHighlighter(found.front());
  } catch (const ECircularHighlighting&) {
    qWarning("%s: the stored sub-highlighter would make a loop and is left out", qPrintable(objectName()));
  }
}

void TCustomExtHighlighter::SaveToIniStrings(TStrings& strings) const {
  QStringList lines;
  lines << QStringLiteral("[Separators]") << QStringLiteral("Separators=") + getSeparators();
  lines << QStringLiteral("[Keywords]");
  for (const auto& e : fKeywords->getKeyList())
    lines << TKeywordList::IniLine(*e);
  lines << QStringLiteral("[StartStopKeys]");
  for (int32_t i = 0; i < fStartStopKeys->Count(); ++i)
    lines << TStartStopKeyList::IniLine(fStartStopKeys->Entry(i));
  TStrings::UpdateLock lock(strings);
  strings.Clear();
  strings.AddStrings(lines);
}

void TCustomExtHighlighter::LoadFromIniStrings(const TStrings& strings) {
  TStringList keywordLines, startStopLines;
  QString separators = getSeparators();
  enum { kOther, kSeparators, kKeywords, kStartStop } section = kOther;
  for (int32_t i = 0; i < strings.GetCount(); ++i) {
    const QString line = strings.Get(i);
    if (line.startsWith(u'[') && line.endsWith(u']')) {
      const QStringView name = QStringView(line).mid(1, line.size() - 2);
      section = name == u"Separators"      ? kSeparators
                : name == u"Keywords"      ? kKeywords
                : name == u"StartStopKeys" ? kStartStop
                                           : kOther;
      continue;
    }
    if (section == kKeywords)
      keywordLines.Add(line);
    else if (section == kStartStop)
      startStopLines.Add(line);
    else if (section == kSeparators && line.startsWith(QLatin1String("Separators=")))
      separators = line.mid(11);
  }
  // Both lists are read into scratch lists first; the highlighter changes
  // only when everything was read.
  auto lists = std::make_unique<TPendingLists>();
  lists->Keywords.setUpperCaseType(fKeywords->getUpperCaseType());
  lists->StartStopKeys.setUpperCaseType(fStartStopKeys->getUpperCaseType());
  lists->Keywords.LoadFromIniStrings(keywordLines);
  lists->StartStopKeys.LoadFromIniStrings(startStopLines);
  fKeywords->Assign(lists->Keywords);
  fStartStopKeys->Assign(lists->StartStopKeys);
  setSeparators(separators);
  designTimeReApply();
}

} // namespace zarv
