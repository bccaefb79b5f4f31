// The categories of a language highlighter and their effect on the keys,
// the reconciliation after loading, and the stored form.
#include <ZarvMemo/highlighters/LanguageHighlighter.h>

#include <ZarvMemo/platform/FilerError.h>
#include <ZarvMemo/platform/ValueFiler.h>

#include <algorithm>

namespace zarv {

namespace {

constexpr TZarvFontStyles kFontStyles = fsBold | fsItalic | fsUnderline | fsStrikeOut;

} // namespace

TLanguageHighlighter::TLanguageHighlighter(QObject* parent)
    : TCustomExtHighlighter(parent), fNumHilit(new TNumberHighlighter(this)) {}

TLanguageHighlighter::~TLanguageHighlighter() {
  // The categories are children; they must not report to a half-gone owner.
  for (const TCategory& c : fCategories)
    c.Info->OnChange = nullptr;
}

THighlightInfo* TLanguageHighlighter::addCategory(const char* name, const TLook& look) {
  auto* info = new THighlightInfo(this);
  info->SetLook(look.AltFont, look.Style, look.Background, look.Foreground);
  info->OnChange = [this](THighlightInfo& sender) { HighlightChange(sender); };
  fCategories.push_back({name, info, look});
  return info;
}

void TLanguageHighlighter::addKeywordGroup(THighlightInfo* category, int32_t first, int32_t last, TWordOptions options,
                                           int32_t context) {
  auto* previous = new THighlightInfo(this); // no change handler
  previous->Assign(*category);
  fGroups.push_back({category, previous, first, last, options, context});
}

void TLanguageHighlighter::addKeyBinding(THighlightInfo* category, std::vector<int32_t> startStopKeys, int32_t first,
                                         int32_t last) {
  fBindings.push_back({category, std::move(startStopKeys), first, last});
}

void TLanguageHighlighter::setNumbersCategory(THighlightInfo* category) { fNumbers = category; }

// ---- Categories -----------------------------------------------------------------------

bool TLanguageHighlighter::confirmGroupChange(const TGroup& g) const {
  const TConfirmFunc ask = confirmFunc();
  if (!(ComponentState() & csDesigning) || !ask)
    return true;
  const THighlightInfo& now = *g.Category;
  const THighlightInfo& prev = *g.Previous;
  QString what;
  if (now.getAltFont() != prev.getAltFont() || now.getStyle() != prev.getStyle())
    what = QStringLiteral("the style ");
  else if (now.getBackground() != prev.getBackground() || now.getForeground() != prev.getForeground())
    what = QStringLiteral("the color ");
  if (what.isEmpty())
    return true;
  return ask(QStringLiteral("Are you sure you want to change ") + what + QStringLiteral("of all your keywords?"));
}

// Only what the category change touched changes in each keyword of the
// group, so that keywords with formats of their own keep the rest.
void TLanguageHighlighter::groupChanged(const TGroup& g) {
  if (!confirmGroupChange(g)) {
    auto handler = std::move(g.Category->OnChange);
    g.Category->OnChange = nullptr;
    g.Category->Assign(*g.Previous);
    g.Category->OnChange = std::move(handler);
    return;
  }
  const THighlightInfo& now = *g.Category;
  const THighlightInfo& prev = *g.Previous;
  const uint8_t on = static_cast<uint8_t>(now.KeyStyle() & ~prev.KeyStyle());
  const uint8_t off = static_cast<uint8_t>(prev.KeyStyle() & ~now.KeyStyle());
  TExtKeywordList& kw = Keywords();
  {
    const TStrings::UpdateLock batch(kw);
    for (int32_t i = g.First; i <= g.Last && i < kw.GetCount(); ++i) {
      TKeywordInfo info = kw.getKeyInfo(i);
      info.Style = static_cast<TZarvFontStyles>((info.Style | on) & ~off);
      if (now.getBackground() != prev.getBackground())
        info.Backgnd = now.getBackground();
      if (now.getForeground() != prev.getForeground())
        info.Foregnd = now.getForeground();
      kw.setKeyInfo(i, info);
    }
  }
  g.Previous->Assign(now);
}

void TLanguageHighlighter::bindingChanged(const TBinding& b, bool keywordsToo) {
  const THighlightInfo& c = *b.Category;
  for (int32_t k : b.Keys) {
    TKeywordInfo& a = StartStopKeys().Entry(k).Attributes;
    a.Style = c.KeyStyle();
    a.Backgnd = c.getBackground();
    a.Foregnd = c.getForeground();
  }
  if (!keywordsToo || b.First > b.Last)
    return;
  TExtKeywordList& kw = Keywords();
  const TStrings::UpdateLock batch(kw);
  for (int32_t i = b.First; i <= b.Last && i < kw.GetCount(); ++i) {
    TKeywordInfo info = kw.getKeyInfo(i);
    info.Style = c.KeyStyle();
    info.Backgnd = c.getBackground();
    info.Foregnd = c.getForeground();
    kw.setKeyInfo(i, info);
  }
}

void TLanguageHighlighter::HighlightChange(THighlightInfo& Sender) {
  if ((ComponentState() & csLoading) && !fApplyHChange)
    return;
  if (&Sender == fNumbers) {
    fNumHilit->setBackgnd(Sender.getBackground());
    fNumHilit->setForegnd(Sender.getForeground());
    fNumHilit->setStyle(Sender.getStyle());
    fNumHilit->setAltFont(Sender.getAltFont());
  }
  for (const TGroup& g : fGroups)
    if (g.Category == &Sender)
      groupChanged(g);
  // While loading, Loaded itself gives the bound keywords their look (the
  // marked ones keep their own).
  for (const TBinding& b : fBindings)
    if (b.Category == &Sender)
      bindingChanged(b, !fApplyHChange);
  designTimeReApply();
}

const THighlightInfo* TLanguageHighlighter::categoryOfKeyword(int32_t index) const {
  for (const TGroup& g : fGroups)
    if (index >= g.First && index <= g.Last)
      return g.Category;
  for (const TBinding& b : fBindings)
    if (index >= b.First && index <= b.Last)
      return b.Category;
  return nullptr;
}

void TLanguageHighlighter::Loaded() {
  for (const TGroup& g : fGroups)
    g.Previous->Assign(*g.Category);
  TExtKeywordList& kw = Keywords();
  {
    const TStrings::UpdateLock batch(kw);
    for (int32_t i = 0; i < kw.GetCount(); ++i) {
      TKeywordInfo info = kw.getKeyInfo(i);
      if (info.Style & kOwnFormatMark) {
        info.Style = static_cast<TZarvFontStyles>(info.Style & ~kOwnFormatMark);
      } else if (const THighlightInfo* c = categoryOfKeyword(i)) {
        info.Style = c->KeyStyle();
        info.Backgnd = c->getBackground();
        info.Foregnd = c->getForeground();
        for (const TGroup& g : fGroups)
          if (i >= g.First && i <= g.Last) {
            info.Options = g.Options;
            info.ContextNumber = g.Context;
            info.Cursor = 0;
          }
      }
      kw.setKeyInfo(i, info);
    }
  }
  fApplyHChange = true;
  for (const TCategory& c : fCategories)
    if (std::none_of(fGroups.begin(), fGroups.end(), [&](const TGroup& g) { return g.Category == c.Info; }))
      HighlightChange(*c.Info);
  fApplyHChange = false;
  TCustomExtHighlighter::Loaded();
}

// ---- The pass ---------------------------------------------------------------------------

void TLanguageHighlighter::ApplyKeywordsList(TZarvNavigator& StartNav, TZarvNavigator& StopNav, int32_t Base) {
  TCustomExtHighlighter::ApplyKeywordsList(StartNav, StopNav, Base);
  fNumHilit->ApplyKeywordsList(StartNav, StopNav, Base);
}

// ---- Stored form ------------------------------------------------------------------------

void TLanguageHighlighter::WriteFormats(TWriter& writer) const {
  const TExtKeywordList& kw = Keywords();
  writer.WriteListBegin();
  for (int32_t i = 0; i < kw.GetCount(); ++i) {
    const TKeywordInfo k = kw.getKeyInfo(i);
    const THighlightInfo* c = categoryOfKeyword(i);
    if (c && k.Backgnd == c->getBackground() && k.Foregnd == c->getForeground() && k.Style == c->KeyStyle())
      continue;
    for (int32_t v :
         {i, int32_t(k.Options.toInt()), int32_t(k.Style), k.ContextNumber, int32_t(k.Cursor), k.Backgnd, k.Foregnd})
      writer.WriteInteger(v);
  }
  writer.WriteListEnd();
}

std::vector<TLanguageHighlighter::TFormatRecord> TLanguageHighlighter::readFormats(TReader& reader,
                                                                                   bool indexed) const {
  std::vector<TFormatRecord> records;
  reader.ReadListBegin();
  for (int32_t next = 0; !reader.EndOfList(); ++next) {
    TFormatRecord r;
    r.Index = indexed ? reader.ReadInteger() : next;
    r.Info.Options = TWordOptions::fromInt(unsigned(reader.ReadInteger() & kWordOptionsMask));
    r.Info.Style = static_cast<TZarvFontStyles>(reader.ReadInteger() | kOwnFormatMark);
    r.Info.ContextNumber = reader.ReadInteger();
    r.Info.Cursor = static_cast<int16_t>(reader.ReadInteger());
    r.Info.Backgnd = reader.ReadInteger();
    r.Info.Foregnd = reader.ReadInteger();
    if (r.Index >= 0 && r.Index < Keywords().GetCount())
      records.push_back(r);
  }
  reader.ReadListEnd();
  return records;
}

void TLanguageHighlighter::applyFormats(const std::vector<TFormatRecord>& records) {
  TExtKeywordList& kw = Keywords();
  const TStrings::UpdateLock batch(kw);
  for (const TFormatRecord& r : records)
    kw.setKeyInfo(r.Index, r.Info);
}

void TLanguageHighlighter::ReadNewFormats(TReader& reader) { applyFormats(readFormats(reader)); }

void TLanguageHighlighter::writeProperties(TWriter& writer) const {
  for (const TCategory& c : fCategories) {
    const QString name = QString::fromLatin1(c.Name);
    const THighlightInfo& i = *c.Info;
    if (i.getAltFont() != c.Default.AltFont) {
      writer.WritePropName(name + QStringLiteral(".AltFont"));
      writer.WriteBoolean(i.getAltFont());
    }
    if (i.getStyle() != c.Default.Style) {
      writer.WritePropName(name + QStringLiteral(".Style"));
      writer.WriteInteger(i.getStyle());
    }
    if (i.getBackground() != c.Default.Background) {
      writer.WritePropName(name + QStringLiteral(".Background"));
      writer.WriteInteger(i.getBackground());
    }
    if (i.getForeground() != c.Default.Foreground) {
      writer.WritePropName(name + QStringLiteral(".Foreground"));
      writer.WriteInteger(i.getForeground());
    }
  }
  writer.WritePropName(QStringLiteral("ModFormats"));
  WriteFormats(writer);
}

void TLanguageHighlighter::beginRead() {
  fPendingLooks.clear();
  for (const TCategory& c : fCategories)
    fPendingLooks.push_back(c.Default);
  fPendingFormats.clear();
}

bool TLanguageHighlighter::readProperty(const QString& name, TReader& reader) {
  if (name == QLatin1String("ModFormats")) {
    const std::vector<TFormatRecord> records = readFormats(reader);
    fPendingFormats.insert(fPendingFormats.end(), records.begin(), records.end());
    return true;
  }
  for (size_t i = 0; i < fCategories.size(); ++i) {
    const QString prefix = QString::fromLatin1(fCategories[i].Name) + u'.';
    if (!name.startsWith(prefix))
      continue;
    const QStringView field = QStringView(name).mid(prefix.size());
    TLook& look = fPendingLooks[i];
    if (field == u"AltFont")
      look.AltFont = reader.ReadBoolean();
    else if (field == u"Style")
      look.Style = static_cast<TZarvFontStyles>(reader.ReadInteger() & kFontStyles);
    else if (field == u"Background")
      look.Background = reader.ReadInteger();
    else if (field == u"Foreground")
      look.Foreground = reader.ReadInteger();
    else
      return false;
    return true;
  }
  return false;
}

void TLanguageHighlighter::commitRead() {
  SetComponentState(ComponentState() | csLoading);
  for (size_t i = 0; i < fCategories.size(); ++i) {
    const TLook& l = fPendingLooks[i];
    fCategories[i].Info->SetLook(l.AltFont, l.Style, l.Background, l.Foreground);
  }
  applyFormats(fPendingFormats);
  fPendingFormats.clear();
  Loaded();
}

} // namespace zarv
