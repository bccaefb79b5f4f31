// Keyword list entries, the rebuild of their derived data, and both
// persisted forms.
#include <ZarvMemo/support/highlight/KeywordList.h>

#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/platform/ValueFiler.h>
#include <ZarvMemo/support/highlight/KeyIniLine.h>

namespace zarv {

namespace {

bool IsIntegerTag(TValueType t) { return t == vaInt8 || t == vaInt16 || t == vaInt32; }

TWordOptions OptionsFromInt(int32_t v) { return TWordOptions::fromInt(static_cast<unsigned>(v & kWordOptionsMask)); }

std::unique_ptr<TKeyInfoLen> NewEntry(const QString& keyword, const TKeywordInfo& info) {
  auto e = std::make_unique<TKeyInfoLen>();
  e->KeywordOrg = keyword;
  e->BasicPart = info;
  e->BasicPart.Options = OptionsFromInt(static_cast<int32_t>(info.Options.toInt()));
  return e;
}

} // namespace

TKeywordList::~TKeywordList() = default;

const TKeyInfoLen& TKeywordList::KeyInfoLen(int32_t index) const {
  CheckIndex(index);
  return *fKeyList[static_cast<size_t>(index)];
}

QString TKeywordList::Get(int32_t index) const { return KeyInfoLen(index).KeywordOrg; }

void TKeywordList::Insert(int32_t index, const QString& s) {
  CheckIndex(index, true);
  if (GetCount() >= kMaxEntries)
    throw EListError();
  fKeyList.insert(fKeyList.begin() + index, NewEntry(s, TKeywordInfo{}));
  Changed();
}

void TKeywordList::Delete(int32_t index) {
  CheckIndex(index);
  fKeyList.erase(fKeyList.begin() + index);
  Changed();
}

void TKeywordList::Clear() {
  fKeyList.clear();
  Changed();
}

void TKeywordList::Put(int32_t index, const QString& s) { setKeywords(index, s); }

void TKeywordList::Move(int32_t from, int32_t to) {
  CheckIndex(from);
  CheckIndex(to);
  auto e = std::move(fKeyList[static_cast<size_t>(from)]);
  fKeyList.erase(fKeyList.begin() + from);
  fKeyList.insert(fKeyList.begin() + to, std::move(e));
  Changed();
}

void TKeywordList::Exchange(int32_t a, int32_t b) {
  CheckIndex(a);
  CheckIndex(b);
  std::swap(fKeyList[static_cast<size_t>(a)], fKeyList[static_cast<size_t>(b)]);
  Changed();
}

void TKeywordList::Assign(const TStrings& source) {
  if (&source == this)
    return;
  const auto* other = dynamic_cast<const TKeywordList*>(&source);
  if (!other) {
    TStrings::Assign(source);
    return;
  }
  UpdateLock lock(*this);
  Clear();
  if (other->GetCount() > kMaxEntries) // only a subclass could have grown it so far
    throw EListError();
  fKeyList.reserve(other->fKeyList.size());
  for (const auto& e : other->fKeyList)
    fKeyList.push_back(std::make_unique<TKeyInfoLen>(*e));
  Changed();
}

int32_t TKeywordList::AddKeyWord(const QString& Keyword, TWordOptions Options, TZarvFontStyles Style,
                                 int32_t ContextNumber, int16_t Cursor, TColor Backgnd, TColor Foregnd) {
  if (GetCount() >= kMaxEntries)
    throw EListError();
  fKeyList.push_back(NewEntry(Keyword, TKeywordInfo{Options, Style, ContextNumber, Cursor, Backgnd, Foregnd}));
  if (fUpdating) {
    Changed();
  } else {
    // An appended entry only adds to the summaries: no full rebuild, so that
    // adding n keywords one by one stays linear.
    ++fGeneration;
    summarize(*fKeyList.back());
    if (OnChange)
      OnChange(*this);
  }
  return GetCount() - 1;
}

void TKeywordList::setKeywords(int32_t index, const QString& s) {
  CheckIndex(index);
  fKeyList[static_cast<size_t>(index)]->KeywordOrg = s;
  Changed();
}

TKeywordInfo TKeywordList::getKeyInfo(int32_t index) const { return KeyInfoLen(index).BasicPart; }

void TKeywordList::setKeyInfo(int32_t index, const TKeywordInfo& info) {
  CheckIndex(index);
  TKeyInfoLen& e = *fKeyList[static_cast<size_t>(index)];
  e.BasicPart = info;
  e.BasicPart.Options = OptionsFromInt(static_cast<int32_t>(info.Options.toInt()));
  e.Scope = e.Priority = e.Extra = 0;
  Changed();
}

void TKeywordList::setUpperCaseType(TzvUpperCase value) {
  if (value == fUpperCaseType)
    return;
  fUpperCaseType = value;
  Changed();
}

void TKeywordList::SetUpdateState(bool updating) {
  fUpdating = updating;
  if (!updating) {
    rebuild();
    if (OnChange)
      OnChange(*this);
  }
}

void TKeywordList::rebuild() {
  ++fGeneration;
  fGWOptions = woMatchCase;
  fLongestKeyword = 0;
  for (const auto& e : fKeyList)
    summarize(*e);
}

void TKeywordList::summarize(TKeyInfoLen& e) {
  e.KeyLen = static_cast<int32_t>(e.KeywordOrg.size());
  fLongestKeyword = std::max(fLongestKeyword, e.KeyLen);
  fGWOptions |= e.BasicPart.Options & (woFirstParWord | woFirstNonBlank);
  if (e.BasicPart.Options.testFlag(woMatchCase)) {
    e.KeywordTrans = e.KeywordOrg;
  } else {
    fGWOptions &= ~TWordOptions(woMatchCase);
    e.KeywordTrans = zvUpperCased(fUpperCaseType, e.KeywordOrg);
  }
}

// ---- Binary form ----------------------------------------------------------------

void TKeywordList::DefineProperties(TFiler& filer) {
  filer.DefineProperty(
      QStringLiteral("Strings"), [this](TReader& r) { ReadData(r); }, [this](TWriter& w) { WriteData(w); },
      GetCount() > 0);
}

void TKeywordList::ReadData(TReader& reader) {
  // Checked before anything is cleared: a stream that is not a list at all
  // leaves the entries alone.
  reader.ReadListBegin();
  UpdateLock lock(*this);
  Clear();
  while (!reader.EndOfList()) {
    auto e = std::make_unique<TKeyInfoLen>();
    e->KeywordOrg = reader.ReadString();
    const int32_t first = reader.ReadInteger();
    TKeywordInfo& k = e->BasicPart;
    k.Options = OptionsFromInt(first);
    k.Style = static_cast<TZarvFontStyles>(reader.ReadInteger());
    k.ContextNumber = reader.ReadInteger();
    k.Cursor = static_cast<int16_t>(reader.ReadInteger());
    k.Backgnd = reader.ReadInteger();
    k.Foregnd = reader.ReadInteger();
    if (first & 0x80) {
      e->Scope = reader.ReadInteger();
      e->Priority = reader.ReadInteger();
      e->Extra = reader.ReadInteger();
    } else if (IsIntegerTag(reader.NextValue())) {
      // The earlier layout: scope and priority without the marker.
      e->Scope = reader.ReadInteger();
      e->Priority = reader.ReadInteger();
    }
    fKeyList.push_back(std::move(e));
  }
  reader.ReadListEnd();
}

void TKeywordList::WriteData(TWriter& writer) const {
  writer.WriteListBegin();
  for (const auto& e : fKeyList) {
    const TKeywordInfo& k = e->BasicPart;
    writer.WriteString(e->KeywordOrg);
    writer.WriteInteger(static_cast<int32_t>(k.Options.toInt()) | 0x80);
    writer.WriteInteger(k.Style);
    writer.WriteInteger(k.ContextNumber);
    writer.WriteInteger(k.Cursor);
    writer.WriteInteger(k.Backgnd);
    writer.WriteInteger(k.Foregnd);
    writer.WriteInteger(e->Scope);
    writer.WriteInteger(e->Priority);
    writer.WriteInteger(e->Extra);
  }
  writer.WriteListEnd();
}

// ---- Text form ------------------------------------------------------------------

QString TKeywordList::IniLine(const TKeyInfoLen& e) {
  const TKeywordInfo& k = e.BasicPart;
  QString line = e.KeywordOrg;
  line += u'=';
  for (int32_t v : {static_cast<int32_t>(k.Options.toInt()), int32_t(k.Style), k.ContextNumber, int32_t(k.Cursor),
                    k.Backgnd, k.Foregnd, e.Scope, e.Priority}) {
    line += QString::number(v);
    line += u',';
  }
  return line;
}

void TKeywordList::SaveToIniStrings(TStrings& strings) const {
  // Lines first: strings may be this very list.
  QStringList lines;
  lines.reserve(GetCount());
  for (const auto& e : fKeyList)
    lines.append(IniLine(*e));
  UpdateLock lock(strings);
  strings.Clear();
  strings.AddStrings(lines);
}

void TKeywordList::LoadFromIniStrings(const TStrings& strings) {
  const QStringList lines = strings.ToStringList();
  UpdateLock lock(*this);
  Clear();
  for (const QString& line : lines) {
    const qsizetype sep = KeyIniSeparator(line);
    if (sep < 0)
      continue;
    TKeyIniValues v(line, sep);
    const TKeyIniAttributes a = ReadKeyIniAttributes(v);
    AddKeyWord(line.left(sep), OptionsFromInt(a.Options), static_cast<TZarvFontStyles>(a.Style), a.Context,
               static_cast<int16_t>(a.Cursor), a.Backgnd, a.Foregnd);
  }
}

// ---- Integrity ------------------------------------------------------------------

QString TKeywordList::CheckIntegrity() const {
  TWordOptions gw = woMatchCase;
  int32_t longest = 0;
  for (size_t i = 0; i < fKeyList.size(); ++i) {
    const TKeyInfoLen* e = fKeyList[i].get();
    const QString at = QStringLiteral(" (entry %1)").arg(i);
    if (!e)
      return QStringLiteral("Missing entry") + at;
    const TWordOptions o = e->BasicPart.Options;
    if (o.toInt() & ~unsigned(kWordOptionsMask))
      return QStringLiteral("Options carry the layout marker") + at;
    longest = std::max(longest, static_cast<int32_t>(e->KeywordOrg.size()));
    gw |= o & (woFirstParWord | woFirstNonBlank);
    if (!o.testFlag(woMatchCase))
      gw &= ~TWordOptions(woMatchCase);
    if (fUpdating)
      continue;
    if (e->KeyLen != e->KeywordOrg.size())
      return QStringLiteral("KeyLen differs from the keyword length") + at;
    const QString trans = o.testFlag(woMatchCase) ? e->KeywordOrg : zvUpperCased(fUpperCaseType, e->KeywordOrg);
    if (e->KeywordTrans != trans)
      return QStringLiteral("KeywordTrans is not the folded keyword") + at;
  }
  if (fUpdating)
    return {};
  if (longest != fLongestKeyword)
    return QStringLiteral("Longest keyword length is %1, expected %2").arg(fLongestKeyword).arg(longest);
  if (gw != fGWOptions)
    return QStringLiteral("Summary options are %1, expected %2").arg(fGWOptions.toInt()).arg(gw.toInt());
  return {};
}

} // namespace zarv
