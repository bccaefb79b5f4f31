// Start-stop entries in chunked storage, their folding and chains, and both
// persisted forms. Entries are constructed in place in the chunks and
// destroyed explicitly, since the chunks themselves are raw memory.
#include <ZarvMemo/support/highlight/StartStopKeyList.h>

#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/platform/Strings.h>
#include <ZarvMemo/platform/ValueFiler.h>
#include <ZarvMemo/support/highlight/KeyIniLine.h>

#include <new>

namespace zarv {

namespace {

bool IsIntegerTag(TValueType t) { return t == vaInt8 || t == vaInt16 || t == vaInt32; }

TWordOptions OptionsFromInt(int32_t v) { return TWordOptions::fromInt(static_cast<unsigned>(v & kWordOptionsMask)); }

bool StartsWith(const std::u16string& s, const std::u16string& prefix) {
  return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

TStartStopKeyList::TStartStopKeyList() : TDynArray2(static_cast<int16_t>(sizeof(StartStopInfo)), kEntrySpace) {
  static_assert(alignof(StartStopInfo) <= 16, "entries are placed at 16-byte steps");
  SetCapacity(2);
}

TStartStopKeyList::~TStartStopKeyList() { destroyEntries(); }

void TStartStopKeyList::destroyEntries() {
  fFirstWithKey.clear();
  fStartKeys.clear();
  for (int32_t i = fCount - 1; i >= 0; --i)
    static_cast<StartStopInfo*>(PointerUnchecked(i))->~StartStopInfo();
  fCount = 0;
}

void TStartStopKeyList::Clear() {
  fGWOpt = woMatchCase;
  destroyEntries();
  SetCapacity(2);
  fDelChecked = false;
}

std::u16string TStartStopKeyList::foldedKey(const QString& key, TWordOptions options) const {
  std::u16string s = key.toStdU16String();
  if (!options.testFlag(woMatchCase) && !s.empty())
    zvUpperCaseBuf(fUpperCaseType, s.data(), static_cast<int32_t>(s.size()));
  return s;
}

void TStartStopKeyList::linkEntry(int32_t i) {
  StartStopInfo& e = *static_cast<StartStopInfo*>(PointerUnchecked(i));
  std::u16string byOptions(1, char16_t(e.Attributes.Options.toInt()));
  byOptions += e.StartKey;
  const auto [first, isNew] = fFirstWithKey.try_emplace(std::move(byOptions), i);
  e.Previous = isNew ? -1 : first->second;
  e.StartCheckLen = e.StartLen;
  const std::u16string_view key(e.StartKey);
  for (auto it = fStartKeys.lower_bound(key); it != fStartKeys.end() && it->substr(0, key.size()) == key; ++it)
    e.StartCheckLen = std::max(e.StartCheckLen, int32_t(it->size()));
  fStartKeys.insert(key);
}

void TStartStopKeyList::relinkAll() {
  fFirstWithKey.clear();
  fStartKeys.clear();
  for (int32_t i = 0; i < fCount; ++i)
    linkEntry(i);
}

int32_t TStartStopKeyList::AddStartStopKey(const QString& StartKey, const QString& StopKey, TWordOptions Options,
                                           TZarvFontStyles Style, int32_t ContextNumber, int16_t Cursor, TColor Backgnd,
                                           TColor Foregnd, bool ParStop) {
  if (fCount >= kMaxEntries)
    throw EListError();
  StartStopInfo e;
  e.Attributes = TKeywordInfo{
      OptionsFromInt(static_cast<int32_t>(Options.toInt())), Style, ContextNumber, Cursor, Backgnd, Foregnd};
  e.StartKeyStr = StartKey;
  e.StopKeyStr = StopKey;
  e.StartKey = foldedKey(StartKey, e.Attributes.Options);
  e.StopKey = foldedKey(StopKey, e.Attributes.Options);
  e.StartLen = static_cast<int32_t>(e.StartKey.size());
  e.StopLen = static_cast<int32_t>(e.StopKey.size());
  if (ParStop)
    e.ssOptions = ssoParStop;

  // Storage first, so that a failed allocation leaves the summaries alone.
  const int32_t i = fCount;
  SetCount(i + 1);
  new (PointerUnchecked(i)) StartStopInfo(std::move(e));
  const StartStopInfo& added = Entry(i);

  fLongestStartKey = std::max(fLongestStartKey, added.StartLen);
  fLongestStopKey = std::max(fLongestStopKey, added.StopLen);
  if (ParStop)
    fLongestStopKey = std::max(fLongestStopKey, 2);
  fGWOpt |= added.Attributes.Options & (woFirstParWord | woFirstNonBlank);
  if (!added.Attributes.Options.testFlag(woMatchCase))
    fGWOpt &= ~TWordOptions(woMatchCase);
  linkEntry(i);
  fDelChecked = false;
  return i;
}

void TStartStopKeyList::setParStop(int32_t i, bool parStop) {
  StartStopInfo& e = Entry(i);
  e.ssOptions.setFlag(ssoParStop, parStop);
  if (parStop)
    fLongestStopKey = std::max(fLongestStopKey, 2);
}

void TStartStopKeyList::setUpperCaseType(TzvUpperCase value) {
  if (value == fUpperCaseType)
    return;
  fUpperCaseType = value;
  for (int32_t i = 0; i < fCount; ++i) {
    StartStopInfo& e = *static_cast<StartStopInfo*>(PointerUnchecked(i));
    if (e.Attributes.Options.testFlag(woMatchCase))
      continue;
    e.StartKey = foldedKey(e.StartKeyStr, e.Attributes.Options);
    e.StopKey = foldedKey(e.StopKeyStr, e.Attributes.Options);
  }
  // Keys that were different may fold alike now (or the other way round).
  relinkAll();
  fDelChecked = false;
}

void TStartStopKeyList::UpdateCheckFlags(const TCharSet& delimiters) {
  const auto needs = [&](bool whole, const std::u16string& key, bool left) {
    if (!whole || key.empty())
      return false;
    return !delimiters.test(zvChar(left ? key.front() : key.back()));
  };
  for (int32_t i = 0; i < fCount; ++i) {
    StartStopInfo& e = *static_cast<StartStopInfo*>(PointerUnchecked(i));
    const bool whole = e.Attributes.Options.testFlag(woWholeWordsOnly);
    e.StartLeftCheck = needs(whole, e.StartKey, true);
    e.StartRightCheck = needs(whole, e.StartKey, false);
    e.StopLeftCheck = needs(whole, e.StopKey, true);
    e.StopRightCheck = needs(whole, e.StopKey, false);
  }
  fDelChecked = true;
}

// ---- Binary form ----------------------------------------------------------------

void TStartStopKeyList::DefineProperties(TFiler& filer) {
  filer.DefineProperty(
      QStringLiteral("Keys"), [this](TReader& r) { ReadData(r); }, [this](TWriter& w) { WriteData(w); }, fCount > 0);
}

void TStartStopKeyList::ReadData(TReader& reader) {
  reader.ReadListBegin();
  Clear();
  while (!reader.EndOfList()) {
    const QString start = reader.ReadString();
    const QString stop = reader.ReadString();
    const int32_t first = reader.ReadInteger();
    const auto style = static_cast<TZarvFontStyles>(reader.ReadInteger());
    const int32_t context = reader.ReadInteger();
    const auto cursor = static_cast<int16_t>(reader.ReadInteger());
    const int32_t backgnd = reader.ReadInteger();
    const int32_t foregnd = reader.ReadInteger();
    bool haveScope = false;
    int32_t scope = 0, priority = 0, packed = 0;
    if (IsIntegerTag(reader.NextValue())) {
      // The earlier layout: scope and priority before the Boolean.
      scope = reader.ReadInteger();
      priority = reader.ReadInteger();
      haveScope = true;
    }
    const bool parStop = reader.ReadBoolean();
    const bool marked = first & 0x80;
    if (marked) {
      scope = reader.ReadInteger();
      priority = reader.ReadInteger();
      packed = reader.ReadInteger();
      haveScope = true;
    }
    const int32_t i =
        AddStartStopKey(start, stop, OptionsFromInt(first), style, context, cursor, backgnd, foregnd, parStop);
    StartStopInfo& e = Entry(i);
    if (haveScope) {
      e.Scope = scope;
      e.Priority = priority;
    }
    if (marked) {
      // Signed shift: a negative Extra comes back negative.
      e.Extra = packed >> 4;
      e.ssOptions = TssOptions::fromInt(static_cast<unsigned>(packed & 15));
      setParStop(i, parStop || e.ssOptions.testFlag(ssoParStop));
    }
  }
  reader.ReadListEnd();
  fDelChecked = false;
}

void TStartStopKeyList::WriteData(TWriter& writer) const {
  writer.WriteListBegin();
  for (int32_t i = 0; i < fCount; ++i) {
    const StartStopInfo& e = Entry(i);
    const TKeywordInfo& k = e.Attributes;
    writer.WriteString(e.StartKeyStr);
    writer.WriteString(e.StopKeyStr);
    writer.WriteInteger(static_cast<int32_t>(k.Options.toInt()) | 0x80);
    writer.WriteInteger(k.Style);
    writer.WriteInteger(k.ContextNumber);
    writer.WriteInteger(k.Cursor);
    writer.WriteInteger(k.Backgnd);
    writer.WriteInteger(k.Foregnd);
    writer.WriteBoolean(e.ssOptions.testFlag(ssoParStop));
    writer.WriteInteger(e.Scope);
    writer.WriteInteger(e.Priority);
    // Unsigned arithmetic: the top four bits of Extra do not fit and wrap
    // instead of overflowing.
    const uint32_t packed = (static_cast<uint32_t>(e.Extra) << 4) | (e.ssOptions.toInt() & 15u);
    writer.WriteInteger(static_cast<int32_t>(packed));
  }
  writer.WriteListEnd();
}

// ---- Text form ------------------------------------------------------------------

QString TStartStopKeyList::IniLine(const StartStopInfo& e) {
  const TKeywordInfo& k = e.Attributes;
  QString line = e.StartKeyStr;
  line += u'|';
  line += e.StopKeyStr;
  line += u'=';
  for (int32_t v : {static_cast<int32_t>(k.Options.toInt()), int32_t(k.Style), k.ContextNumber, int32_t(k.Cursor),
                    k.Backgnd, k.Foregnd, static_cast<int32_t>(e.ssOptions.toInt()), e.Scope, e.Priority}) {
    line += QString::number(v);
    line += u',';
  }
  return line;
}

void TStartStopKeyList::SaveToIniStrings(TStrings& strings) const {
  TStrings::UpdateLock lock(strings);
  strings.Clear();
  for (int32_t i = 0; i < fCount; ++i)
    strings.Add(IniLine(Entry(i)));
}

void TStartStopKeyList::LoadFromIniStrings(const TStrings& strings) {
  Clear();
  const int32_t n = strings.GetCount();
  for (int32_t i = 0; i < n; ++i) {
    const QString line = strings.Get(i);
    const qsizetype sep = KeyIniSeparator(line);
    if (sep < 0)
      continue;
    TKeyIniValues v(line, sep);
    const TKeyIniAttributes a = ReadKeyIniAttributes(v);
    const int32_t rangeOptions = v.Next();
    // Without "|" the whole key part is the start key.
    const QString keys = line.left(sep);
    const qsizetype bar = keys.indexOf(u'|');
    const QString start = bar < 0 ? keys : keys.left(bar);
    const QString stop = bar < 0 ? QString() : keys.mid(bar + 1);
    AddStartStopKey(start, stop, OptionsFromInt(a.Options), static_cast<TZarvFontStyles>(a.Style), a.Context,
                    static_cast<int16_t>(a.Cursor), a.Backgnd, a.Foregnd, (rangeOptions & ssoParStop) != 0);
  }
}

// ---- Integrity ------------------------------------------------------------------

QString TStartStopKeyList::CheckIntegrity() const {
  if (fCount < 0 || fCount > fCapacity || fList.empty())
    return QStringLiteral("Count %1 outside capacity %2").arg(fCount).arg(fCapacity);
  bool allMatchCase = true;
  TWordOptions positional;
  for (int32_t i = 0; i < fCount; ++i) {
    const StartStopInfo& e = Entry(i);
    const QString at = QStringLiteral(" (entry %1)").arg(i);
    const TWordOptions o = e.Attributes.Options;
    if (o.toInt() & ~unsigned(kWordOptionsMask))
      return QStringLiteral("Options carry the layout marker") + at;
    if (e.StartLen != static_cast<int32_t>(e.StartKey.size()) || e.StopLen != static_cast<int32_t>(e.StopKey.size()))
      return QStringLiteral("Key lengths differ from the keys") + at;
    if (e.StartKey != foldedKey(e.StartKeyStr, o) || e.StopKey != foldedKey(e.StopKeyStr, o))
      return QStringLiteral("Searched keys are not the folded keys") + at;
    if (e.StartLen > fLongestStartKey || e.StopLen > fLongestStopKey)
      return QStringLiteral("Key longer than the longest key length") + at;
    if (e.ssOptions.testFlag(ssoParStop) && fLongestStopKey < 2)
      return QStringLiteral("Paragraph stop with a longest stop key below 2") + at;
    int32_t previous = -1, checkLen = e.StartLen;
    for (int32_t j = 0; j < i; ++j) {
      const StartStopInfo& p = Entry(j);
      if (previous < 0 && p.Attributes.Options == o && p.StartKey == e.StartKey)
        previous = j;
      if (p.StartLen > checkLen && StartsWith(p.StartKey, e.StartKey))
        checkLen = p.StartLen;
    }
    if (e.Previous != previous)
      return QStringLiteral("Previous is %1, expected %2").arg(e.Previous).arg(previous) + at;
    if (e.StartCheckLen != checkLen)
      return QStringLiteral("StartCheckLen is %1, expected %2").arg(e.StartCheckLen).arg(checkLen) + at;
    allMatchCase = allMatchCase && o.testFlag(woMatchCase);
    positional |= o & (woFirstParWord | woFirstNonBlank);
  }
  if (!allMatchCase && fGWOpt.testFlag(woMatchCase))
    return QStringLiteral("Summary options claim match-case for a case-insensitive entry");
  if ((fGWOpt & positional) != positional)
    return QStringLiteral("Summary options miss an entry's positional option");
  return {};
}

} // namespace zarv
