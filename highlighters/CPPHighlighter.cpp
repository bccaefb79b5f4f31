// The C++ vocabulary, the categories and their effect on the keys, the
// confirmations that make directives, escaped quotes and character
// literals come out right, and the "ModFormats" property.
#include <ZarvMemo/highlighters/CPPHighlighter.h>

#include <ZarvMemo/platform/FilerError.h>
#include <ZarvMemo/platform/ValueFiler.h>
#include <ZarvMemo/support/navigator/Navigator.h>
#include <ZarvMemo/support/store/ParagraphsList.h>

namespace zarv {

TCPPHighlighter::TConfirmFunc TCPPHighlighter::ConfirmFunc;

namespace {

constexpr TWordOptions kKeywordOptions = woMatchCase | woWholeWordsOnly;
constexpr TZarvFontStyles kFontStyles = fsBold | fsItalic | fsUnderline | fsStrikeOut;

bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }

bool blanksBefore(const char16_t* text, int32_t off) {
  for (int32_t i = 0; i < off; ++i)
    if (!isBlank(text[i]))
      return false;
  return true;
}

} // namespace

const QStringList& TCPPHighlighter::DefaultKeywords() {
  // Indexes are stored ("ModFormats"): words are only ever appended.
  static const QStringList words = {
      // The classic vocabulary.
      "__rrti", "__automated", "auto", "bool", "break", "case", "catch", "__cdecl", "_cdecl", "cdecl", "char", "class",
      "__classid", "__closure", "const", "const_cast", "continue", "__declspec", "default", "delete", "__dispid", "do",
      "double", "dynamic_cast", "else", "enum", "__except", "explicit", "__export", "_export", "export", "__int8",
      "__int16", "__int32", "__int64", "unsigned __int64", "extern", "false", "__fastcall", "_fastcall", "__finally",
      "float", "for", "friend", "goto", "if", "__import", "_import", "__inline", "inline", "int", "long",
      "__msfastcall", "__msreturn", "mutable", "namespace", "new", "operator", "__pascal", "_pascal", "private",
      "__property", "protected", "public", "__published", "register", "reinterpret_cast", "return", "short", "signed",
      "sizeof", "static_cast", "__stdcall", "_stdcall", "struct", "switch", "template", "this", "__trhead", "throw",
      "true", "__try", "try", "typedef", "typeid", "typename", "union", "unsigned", "using", "virtual", "void",
      "volatile", "wchar_t", "while", "asm", "_asm", "__asm",
      // Keywords of later C and C++ standards.
      "static", "nullptr", "constexpr", "consteval", "constinit", "decltype", "noexcept", "static_assert", "alignas",
      "alignof", "thread_local", "char8_t", "char16_t", "char32_t", "concept", "requires", "co_await", "co_return",
      "co_yield", "override", "final", "restrict", "_Bool", "_Complex", "_Alignas", "_Alignof", "_Atomic", "_Generic",
      "_Noreturn", "_Static_assert", "_Thread_local"};
  return words;
}

TCPPHighlighter::TCPPHighlighter(QObject* parent)
    : TCustomExtHighlighter(parent), fCPPKeywords(new THighlightInfo(this)),
      fPreviousCPPKeywords(new THighlightInfo(this)), fStringsHilit(new THighlightInfo(this)),
      fDirectives(new THighlightInfo(this)), fCommentSingleLine(new THighlightInfo(this)),
      fCommentMultiline(new THighlightInfo(this)), fNumbers(new THighlightInfo(this)),
      fNumHilit(new TNumberHighlighter(this)) {
  setDelimiters(MakeCharSet("\t \"'(),-./:;<=>[]{}"));
  {
    TExtKeywordList& kw = Keywords();
    const TStrings::UpdateLock batch(kw);
    for (const QString& w : DefaultKeywords())
      kw.AddExtKeyWord(w, kKeywordOptions, fsBold, kKeywordContext, 0, 0, 0, clDefault, clDefault);
  }
  TExtStartStopList& ss = StartStopKeys();
  ss.AddExStartStopKey(QStringLiteral("\""), QStringLiteral("\""), {}, fsItalic, kStringContext, 0, 0, 0, 0xC0C0C0, 0,
                       ssoParStop);
  ss.AddExStartStopKey(QStringLiteral("//"), QString(), {}, fsItalic, kCommentContext, 0, 0, 0, clDefault, 0xFF0000,
                       ssoParStop);
  ss.AddExStartStopKey(QStringLiteral("#"), QString(), {}, fsItalic, kDirectiveContext, 0, 0, 0, 0x808000, 0xFFFFFF,
                       ssoParStop);
  ss.AddExStartStopKey(QStringLiteral("/*"), QStringLiteral("*/"), {}, fsItalic, kCommentContext, 0, 0, 0, clDefault,
                       0x008000, {});
  using namespace std::placeholders;
  OnStart = [this](TCustomExtHighlighter& s, TZarvNavigator& a, TZarvNavigator& b, int32_t k, bool& ok) {
    GetStartConfirmation(s, a, b, k, ok);
  };
  OnStop = [this](TCustomExtHighlighter& s, TZarvNavigator& a, TZarvNavigator& b, int32_t k, bool& ok) {
    GetStopConfirmation(s, a, b, k, ok);
  };
  for (const TCategory& c : categories()) {
    const TPendingLook& d = c.Default;
    c.Info->SetLook(d.AltFont, d.Style, d.Background, d.Foreground);
    c.Info->OnChange = [this](THighlightInfo& sender) { HighlightChange(sender); };
  }
  fPreviousCPPKeywords->Assign(*fCPPKeywords);
  fNumHilit->setCTypeHex(true);
  fNumHilit->setDelimiters(Delimiters());
  fNumHilit->setForegnd(0x0000FF);
  fNumHilit->setContextNum(kNumberContext);
  fNumHilit->OnQueryHilit = [this](TCustomExtHighlighter& s, int16_t scope, bool& doHilit) {
    GetNumberConfirmation(s, scope, doHilit);
  };
}

TCPPHighlighter::~TCPPHighlighter() {
  // The categories are children; they must not report to a half-gone owner.
  for (const TCategory& c : categories())
    c.Info->OnChange = nullptr;
}

std::vector<TCPPHighlighter::TCategory> TCPPHighlighter::categories() const {
  return {{"CPPKeywords", fCPPKeywords, {false, fsBold, clDefault, clDefault}},
          {"Strings", fStringsHilit, {false, fsItalic, 0xC0C0C0, 0}},
          {"CommentSingleLine", fCommentSingleLine, {false, fsItalic, clDefault, 0xFF0000}},
          {"CommentMultiLine", fCommentMultiline, {false, fsItalic, clDefault, 0x800000}},
          {"Directives", fDirectives, {false, fsItalic, 0x808000, 0xFFFFFF}},
          {"Numbers", fNumbers, {false, 0, clDefault, 0x0000FF}}};
}

// ---- Categories -----------------------------------------------------------------------

bool TCPPHighlighter::confirmKeywordChange() {
  const THighlightInfo& now = *fCPPKeywords;
  const THighlightInfo& prev = *fPreviousCPPKeywords;
  if (!(ComponentState() & csDesigning) || !ConfirmFunc)
    return true;
  QString what;
  if (now.getAltFont() != prev.getAltFont() || now.getStyle() != prev.getStyle())
    what = QStringLiteral("the style ");
  else if (now.getBackground() != prev.getBackground() || now.getForeground() != prev.getForeground())
    what = QStringLiteral("the color ");
  if (what.isEmpty())
    return true;
  return ConfirmFunc(QStringLiteral("Are you sure you want to change ") + what +
                     QStringLiteral("of all your keywords?"));
}

// Only what the category change touched changes in each keyword, so that
// keywords with formats of their own keep the rest.
void TCPPHighlighter::keywordCategoryChanged() {
  if (!confirmKeywordChange()) {
    auto handler = std::move(fCPPKeywords->OnChange);
    fCPPKeywords->OnChange = nullptr;
    fCPPKeywords->Assign(*fPreviousCPPKeywords);
    fCPPKeywords->OnChange = std::move(handler);
    return;
  }
  const THighlightInfo& now = *fCPPKeywords;
  const THighlightInfo& prev = *fPreviousCPPKeywords;
  const uint8_t on = static_cast<uint8_t>(now.KeyStyle() & ~prev.KeyStyle());
  const uint8_t off = static_cast<uint8_t>(prev.KeyStyle() & ~now.KeyStyle());
  TExtKeywordList& kw = Keywords();
  {
    const TStrings::UpdateLock batch(kw);
    for (int32_t i = 0; i < kw.GetCount(); ++i) {
      TKeywordInfo info = kw.getKeyInfo(i);
      info.Style = static_cast<TZarvFontStyles>((info.Style | on) & ~off);
      if (now.getBackground() != prev.getBackground())
        info.Backgnd = now.getBackground();
      if (now.getForeground() != prev.getForeground())
        info.Foregnd = now.getForeground();
      kw.setKeyInfo(i, info);
    }
  }
  fPreviousCPPKeywords->Assign(now);
}

void TCPPHighlighter::HighlightChange(THighlightInfo& Sender) {
  if ((ComponentState() & csLoading) && !fApplyHChange)
    return;
  const THighlightInfo* keyOf[] = {fStringsHilit, fCommentSingleLine, fDirectives, fCommentMultiline};
  if (&Sender == fCPPKeywords) {
    keywordCategoryChanged();
  } else if (&Sender == fNumbers) {
    fNumHilit->setBackgnd(Sender.getBackground());
    fNumHilit->setForegnd(Sender.getForeground());
    fNumHilit->setStyle(Sender.getStyle());
    fNumHilit->setAltFont(Sender.getAltFont());
  } else {
    for (int32_t k = 0; k < 4; ++k)
      if (keyOf[k] == &Sender) {
        TKeywordInfo& a = StartStopKeys().Entry(k).Attributes;
        a.Style = Sender.KeyStyle();
        a.Backgnd = Sender.getBackground();
        a.Foregnd = Sender.getForeground();
      }
  }
  designTimeReApply();
}

void TCPPHighlighter::Loaded() {
  fPreviousCPPKeywords->Assign(*fCPPKeywords);
  const TKeywordInfo standard{kKeywordOptions,
                              fCPPKeywords->KeyStyle(),
                              kKeywordContext,
                              0,
                              fCPPKeywords->getBackground(),
                              fCPPKeywords->getForeground()};
  TExtKeywordList& kw = Keywords();
  {
    const TStrings::UpdateLock batch(kw);
    for (int32_t i = 0; i < kw.GetCount(); ++i) {
      TKeywordInfo info = kw.getKeyInfo(i);
      if (info.Style & kOwnFormatMark)
        info.Style = static_cast<TZarvFontStyles>(info.Style & ~kOwnFormatMark);
      else
        info = standard;
      kw.setKeyInfo(i, info);
    }
  }
  fApplyHChange = true;
  for (THighlightInfo* c : {fStringsHilit, fCommentSingleLine, fCommentMultiline, fNumbers, fDirectives})
    HighlightChange(*c);
  fApplyHChange = false;
  TCustomExtHighlighter::Loaded();
}

// ---- Confirmations --------------------------------------------------------------------

void TCPPHighlighter::GetStartConfirmation(TCustomExtHighlighter&, TZarvNavigator& StartKey, TZarvNavigator&,
                                           int32_t KIndex, bool& Accept) {
  const ParInfo& par = *StartKey.GetPar();
  const char16_t* text = par.ParText;
  const int32_t off = StartKey.GetOffset();
  const int32_t len = GetParLength(par);
  if (KIndex == kDirectiveKey && !blanksBefore(text, off))
    Accept = false;
  if (KIndex == kStringKey && off + 1 < len && text[off + 1] == u'\'') {
    // '"' and '\"' are character literals, not the start of a string.
    if ((off >= 1 && text[off - 1] == u'\'') || (off >= 2 && text[off - 1] == u'\\' && text[off - 2] == u'\''))
      Accept = false;
  }
}

void TCPPHighlighter::GetStopConfirmation(TCustomExtHighlighter&, TZarvNavigator&, TZarvNavigator& StopKey,
                                          int32_t KIndex, bool& Accept) {
  Accept = true;
  if (KIndex != kStringKey)
    return;
  const ParInfo& par = *StopKey.GetPar();
  const int32_t off = StopKey.GetOffset(); // after the closing quote
  if (off == 0 || off >= GetParLength(par))
    return; // a quote ending the line ends the string anyway
  // An odd run of backslashes before the quote escapes it; "\\" does not.
  int32_t backslashes = 0;
  for (int32_t i = off - 2; i >= 0 && par.ParText[i] == u'\\'; --i)
    ++backslashes;
  Accept = backslashes % 2 == 0;
}

void TCPPHighlighter::GetNumberConfirmation(TCustomExtHighlighter&, int16_t Scope, bool& DoHilit) {
  DoHilit = Scope == 0;
}

// ---- The pass ---------------------------------------------------------------------------

void TCPPHighlighter::ApplyKeywordsList(TZarvNavigator& StartNav, TZarvNavigator& StopNav, int32_t Base) {
  TCustomExtHighlighter::ApplyKeywordsList(StartNav, StopNav, Base);
  fNumHilit->ApplyKeywordsList(StartNav, StopNav, Base);
}

bool TCPPHighlighter::FindStart(TZarvNavigator& StartNav, TZarvNavigator& StopNav, int32_t Base) {
  // A changed range ending among a line's leading blanks reaches to the
  // directive's "#" after them, whose acceptance depends on those blanks.
  StartNav.RightOfDyn();
  if (StartNav.GetContext() == 0 && StopNav.GetParNb() == StartNav.GetParNb()) {
    const ParInfo& par = *StopNav.GetPar();
    const char16_t* text = par.ParText;
    const int32_t len = GetParLength(par);
    int32_t i = StopNav.GetOffset();
    if (text && i < len && blanksBefore(text, i)) {
      while (i < len && isBlank(text[i]))
        ++i;
      if (i < len && text[i] == u'#')
        StopNav.SetParPos(StopNav.GetParNb(), i);
    }
  }
  const bool found = TCustomExtHighlighter::FindStart(StartNav, StopNav, Base);
  if (found) {
    // The directive's code covers the blanks before the "#", when it is the
    // paragraph's first code (moving it past earlier codes would break
    // their order).
    TDynInfoArray& codes = GetDynArrayForWrite(*StartNav.GetPar());
    if (!codes.empty() && DynToContext(codes[0]) == kDirectiveContext && codes[0].DynOffset > 0 &&
        codes[0].Level >= 0 &&
        uint16_t(codes[0].KeyIndex[codes[0].Level]) == (0x8000u | uint32_t(Base + kDirectiveKey))) {
      codes[0].SS.StartKlen = KlenOf(int64_t(codes[0].DynOffset) + 1);
      codes[0].DynOffset = 0;
      StartNav.ForgetIndexes();
      StopNav.ForgetIndexes();
    }
  }
  return found;
}

// ---- Stored form ------------------------------------------------------------------------

void TCPPHighlighter::WriteFormats(TWriter& writer) const {
  const TExtKeywordList& kw = Keywords();
  writer.WriteListBegin();
  for (int32_t i = 0; i < kw.GetCount(); ++i) {
    const TKeywordInfo k = kw.getKeyInfo(i);
    if (k.Backgnd == fCPPKeywords->getBackground() && k.Foregnd == fCPPKeywords->getForeground() &&
        k.Style == fCPPKeywords->KeyStyle())
      continue;
    for (int32_t v :
         {i, int32_t(k.Options.toInt()), int32_t(k.Style), k.ContextNumber, int32_t(k.Cursor), k.Backgnd, k.Foregnd})
      writer.WriteInteger(v);
  }
  writer.WriteListEnd();
}

std::vector<TCPPHighlighter::TFormatRecord> TCPPHighlighter::readFormats(TReader& reader) const {
  std::vector<TFormatRecord> records;
  reader.ReadListBegin();
  while (!reader.EndOfList()) {
    TFormatRecord r;
    r.Index = reader.ReadInteger();
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

void TCPPHighlighter::applyFormats(const std::vector<TFormatRecord>& records) {
  TExtKeywordList& kw = Keywords();
  const TStrings::UpdateLock batch(kw);
  for (const TFormatRecord& r : records)
    kw.setKeyInfo(r.Index, r.Info);
}

void TCPPHighlighter::ReadNewFormats(TReader& reader) { applyFormats(readFormats(reader)); }

void TCPPHighlighter::writeProperties(TWriter& writer) const {
  for (const TCategory& c : categories()) {
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

void TCPPHighlighter::beginRead() {
  fPendingLooks.clear();
  for (const TCategory& c : categories())
    fPendingLooks.push_back(c.Default);
  fPendingFormats.clear();
}

bool TCPPHighlighter::readProperty(const QString& name, TReader& reader) {
  if (name == QLatin1String("ModFormats")) {
    fPendingFormats = readFormats(reader);
    return true;
  }
  const std::vector<TCategory> cats = categories();
  for (size_t i = 0; i < cats.size(); ++i) {
    const QString prefix = QString::fromLatin1(cats[i].Name) + u'.';
    if (!name.startsWith(prefix))
      continue;
    const QStringView field = QStringView(name).mid(prefix.size());
    TPendingLook& look = fPendingLooks[i];
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

void TCPPHighlighter::commitRead() {
  SetComponentState(ComponentState() | csLoading);
  const std::vector<TCategory> cats = categories();
  for (size_t i = 0; i < cats.size(); ++i) {
    const TPendingLook& l = fPendingLooks[i];
    cats[i].Info->SetLook(l.AltFont, l.Style, l.Background, l.Foreground);
  }
  applyFormats(fPendingFormats);
  fPendingFormats.clear();
  Loaded();
}

} // namespace zarv
