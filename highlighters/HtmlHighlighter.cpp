// The HTML state machine: what each state looks for, and the codes it
// writes when it finds it.
#include <ZarvMemo/highlighters/HtmlHighlighter.h>

#include <ZarvMemo/highlighters/RangeCodes.h>
#include <ZarvMemo/support/MemoHost.h>

#include <algorithm>
#include <unordered_map>

namespace zarv {

namespace {

constexpr uint16_t kStartStopBit = 0x8000;
constexpr TColor kWindowText = TColor(0xFF000008u);
constexpr TColor kWindow = TColor(0xFF000005u);
// Tag names longer than this are in no table.
constexpr int32_t kLongestTag = 16;

bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }
bool isLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool isEntityChar(char16_t c) { return isLetter(c) || (c >= u'0' && c <= u'9') || c == u'#' || c == u'&' || c == u'_'; }
char16_t upper(char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; }

// Whether `key` (upper case) stands at text[i] whatever the case.
bool startsWithFolded(const char16_t* text, int32_t len, int32_t i, std::u16string_view key) {
  if (int64_t(i) + int64_t(key.size()) > len)
    return false;
  for (size_t k = 0; k < key.size(); ++k)
    if (upper(text[i + int32_t(k)]) != key[k])
      return false;
  return true;
}

// The first place of `key` (upper case) in text[from, to) whatever the
// case, or -1.
int32_t findFolded(const char16_t* text, int32_t len, int32_t from, int32_t to, std::u16string_view key) {
  for (int32_t i = from; i < to; ++i)
    if (text[i] == key[0] && startsWithFolded(text, len, i, key))
      return i;
  return -1;
}

} // namespace

// ---- The tag table ---------------------------------------------------------------------

const std::array<THtmlHighlighter::TTag, 106>& THtmlHighlighter::Tags() {
  // Index 0 is SCRIPT, handled apart; the order fixes the key indexes.
  static const std::array<TTag, 106> tags = {{
      {"SCRIPT", true, false},    {"A", true, true},         {"ADDRESS", true, true},  {"ACRONYM", true, true},
      {"APPLET", true, true},     {"AREA", true, true},      {"B", false, true},       {"BASE", true, false},
      {"BASEFONT", true, false},  {"BGSOUND", true, true},   {"BIG", true, true},      {"BLINK", true, true},
      {"BLOCKQUOTE", true, true}, {"BODY", true, true},      {"BR", false, false},     {"BUTTON", true, true},
      {"CAPTION", true, true},    {"CITE", true, true},      {"CENTER", true, true},   {"CODE", true, true},
      {"COL", true, true},        {"COLGROUP", true, true},  {"COMMENT", true, true},  {"DD", true, true},
      {"DEL", true, true},        {"DFN", true, true},       {"DIR", true, true},      {"DIV", true, true},
      {"DL", true, true},         {"DT", true, true},        {"EM", true, true},       {"EMBED", true, true},
      {"FIELDSET", true, true},   {"FORM", true, true},      {"FONT", true, true},     {"FRAME", true, false},
      {"FRAMESET", true, true},   {"H1", true, true},        {"H2", true, true},       {"H3", true, true},
      {"H4", true, true},         {"H5", true, true},        {"H6", true, true},       {"HEAD", false, true},
      {"HR", true, true},         {"HTML", false, true},     {"I", false, true},       {"IFRAME", true, true},
      {"ILAYER", true, true},     {"IMG", true, false},      {"INPUT", true, false},   {"INS", true, true},
      {"ISINDEX", true, true},    {"KBD", true, true},       {"KEYGEN", true, true},   {"LABEL", true, true},
      {"LAYER", true, true},      {"LEGEND", true, true},    {"LI", true, true},       {"LINK", true, true},
      {"LISTING", true, true},    {"MAP", true, true},       {"MARQUEE", true, true},  {"MENU", true, true},
      {"META", true, false},      {"MULTICOL", true, true},  {"NEXTID", true, true},   {"NOBR", true, true},
      {"NOEMBED", true, true},    {"NOFRAMES", true, true},  {"NOLAYER", true, true},  {"NOSCRIPT", true, true},
      {"OBJECT", true, true},     {"OL", true, true},        {"OPTION", true, true},   {"P", true, true},
      {"PARAM", true, true},      {"PLAINTEXT", true, true}, {"Q", true, true},        {"S", false, true},
      {"SAMP", true, true},       {"SELECT", true, true},    {"SOUND", true, true},    {"SMALL", true, true},
      {"SPACER", true, true},     {"SPAN", true, true},      {"STRIKE", true, true},   {"STRONG", true, true},
      {"STYLE", true, true},      {"SUB", true, true},       {"SUP", true, true},      {"TABLE", true, true},
      {"TBODY", true, true},      {"TD", true, true},        {"TEXTAREA", true, true}, {"TFOOT", true, true},
      {"TH", true, true},         {"THEAD", true, true},     {"TITLE", false, true},   {"TR", true, true},
      {"TT", true, true},         {"U", false, true},        {"UL", true, true},       {"VAR", true, true},
      {"WBR", true, true},        {"!DOCTYPE", true, false},
  }};
  return tags;
}

int32_t THtmlHighlighter::FindTag(std::u16string_view upperName) {
  static const std::unordered_map<std::u16string, int32_t> index = [] {
    std::unordered_map<std::u16string, int32_t> m;
    for (size_t i = 0; i < Tags().size(); ++i)
      m.emplace(QString::fromLatin1(Tags()[i].Name).toStdU16String(), int32_t(i));
    return m;
  }();
  if (upperName.empty() || upperName.size() > size_t(kLongestTag))
    return -1;
  const auto it = index.find(std::u16string(upperName));
  return it == index.end() ? -1 : it->second;
}

int32_t THtmlHighlighter::findKeywordTag(std::u16string_view upperName, std::u16string_view name) {
  const TExtKeywordList& kw = Keywords();
  for (int32_t i = 0; i < kw.GetCount(); ++i) {
    const TKeyInfoLen& e = kw.KeyInfoLen(i);
    const std::u16string_view want = e.BasicPart.Options.testFlag(woMatchCase) ? name : upperName;
    if (e.KeywordTrans.size() == qsizetype(want.size()) &&
        std::equal(want.begin(), want.end(), reinterpret_cast<const char16_t*>(e.KeywordTrans.utf16())))
      return i;
  }
  return -1;
}

// ---- The component ---------------------------------------------------------------------

THtmlHighlighter::THtmlHighlighter(QObject* parent) : TCustomExtHighlighter(parent) {
  auto make = [this](TZarvFontStyles style, bool altFont, TColor back, TColor fore) {
    auto* info = new THighlightInfo(this);
    info->SetLook(altFont, style, back, fore);
    info->OnChange = [this](THighlightInfo& sender) { HighlightChange(sender); };
    return info;
  };
  fBracket = make(fsBold, false, clDefault, 0xFF0000);
  fDefaultText = make(0, false, clDefault, kWindowText);
  fHtmlTag = make(fsItalic, false, clDefault, 0x008000);
  fHtmlComment = make(fsItalic, false, clDefault, 0x008080);
  fHtmlAttribute = make(0, false, clDefault, 0x008000);
  fHtmlAttributeValue = make(0, false, clDefault, 0x808080);
  fScriptTag = make(fsBold, false, kWindow, 0x800080);
  fScriptContent = make(0, true, clDefault, kWindowText);
  fUnknownTag = make(0, false, clDefault, 0x0000FF);
  fHtmlKeyword = make(fsBold, false, clDefault, 0x800000);
  fSpecialChars = make(0, false, clDefault, 0xFF00FF);
  fPerlScript = make(0, false, clDefault, 0x808000);
}

THtmlHighlighter::~THtmlHighlighter() {
  for (THighlightInfo* i : findChildren<THighlightInfo*>(Qt::FindDirectChildrenOnly))
    i->OnChange = nullptr;
}

const THighlightInfo& THtmlHighlighter::LookOf(int32_t state) const {
  switch (state) {
  case kAttributeArea:
    return *fHtmlTag;
  case kRawContent:
  case kServerBlock:
    return *fScriptContent;
  case kComment:
    return *fHtmlComment;
  case kTagStart:
  case kClosingBracket:
    return *fBracket;
  case kTagName:
    return *fHtmlKeyword;
  case kUnknownTag:
    return *fUnknownTag;
  case kAttributeName:
    return *fHtmlAttribute;
  case kAttributeValue:
    return *fHtmlAttributeValue;
  case kEntity:
    return *fSpecialChars;
  case kProcessingBlock:
    return *fPerlScript;
  default:
    return *fDefaultText;
  }
}

void THtmlHighlighter::setXMLSyntax(bool value) {
  if (value == fXMLSyntax)
    return;
  fXMLSyntax = value;
  designTimeReApply();
}

void THtmlHighlighter::HighlightChange(THighlightInfo&) { designTimeReApply(); }

void THtmlHighlighter::Loaded() {
  TCustomExtHighlighter::Loaded();
  ReApplyKeys();
}

void THtmlHighlighter::ApplyKeywordsList(TZarvNavigator& StartNav, TZarvNavigator& StopNav, int32_t Base) {
  if (TZarvHighlighter* sub = getSubHighlighter())
    sub->ApplyKeywordsList(StartNav, StopNav, Base + Keywords().GetCount() + kCommentKey);
}

bool THtmlHighlighter::MayStartIn(const TZarvMemoHost& Memo, const char16_t* Text, int32_t From, int32_t To) {
  if (getActive())
    for (int32_t i = From; i < To; ++i)
      if (Text[i] == u'<' || Text[i] == u'&')
        return true;
  return TCustomExtHighlighter::MayStartIn(Memo, Text, From, To);
}

// ---- The state machine ------------------------------------------------------------------

// One call of FindStart or FindStop on one paragraph.
class THtmlPass {
public:
  THtmlPass(THtmlHighlighter& h, TZarvNavigator& a, TZarvNavigator& c, int32_t base)
      : H(h), L(*a.List()), A(a), C(c), fBase(base), fPar(a.GetParNb()), P(*a.GetPar()), fLen(GetParLength(P)),
        fText(P.ParText), fAOff(std::min(a.GetOffset(), fLen)),
        fCOff(std::min(c.GetParNb() == fPar ? c.GetOffset() : fLen, fLen)) {}

  bool Start(const DynInfoRec& d);
  bool Stop(const DynInfoRec& d, int32_t local);

private:
  DynInfoRec code(const DynInfoRec& around, int32_t state, int32_t key, int level, int32_t off, int32_t startLen) const;
  DynInfoRec restore(int level) { return rangecodes::CodeBeforeRange(L, fPar, A.GetDynNb(), level); }
  struct TOpener {
    int32_t State, Key, Length;
  };
  int32_t nextMarkup() const;
  TOpener openerAt(int32_t i) const;
  int32_t lookUp(std::u16string_view name, bool closing, int32_t& keyword, bool& attributes) const;
  bool text(const DynInfoRec& d);
  bool tagName(const DynInfoRec& d);
  bool tagBody(const DynInfoRec& d, int32_t from, const DynInfoRec* outside);
  bool attribute(const DynInfoRec& d);
  bool restOfTag(const DynInfoRec& rest, int32_t from, const DynInfoRec* outside);
  int32_t writeAttribute(const DynInfoRec& area, int32_t from, int32_t eq);
  void writeClose(const DynInfoRec& rest, int32_t q, const DynInfoRec* outside);
  bool closeTag(const DynInfoRec& d, bool attributes);
  bool closeAt(const DynInfoRec& d, int32_t end);
  bool comment(const DynInfoRec& d);
  bool rawContent(const DynInfoRec& d, int32_t local);
  bool entity(const DynInfoRec& d);
  bool block(const DynInfoRec& d, char16_t mark);
  // Where the scan of the range in force may begin: never inside the key
  // that opened it.
  int32_t scanFrom(const DynInfoRec& d, int32_t back) const {
    int32_t from = std::max(0, fAOff - back);
    if (A.GetDynNb() > 0)
      from = std::max(from, d.DynOffset + int32_t(d.SS.StartKlen));
    return from;
  }
  bool done(int32_t off) {
    rangecodes::ContinueAt(A, C, fPar, off);
    return true;
  }

  THtmlHighlighter& H;
  TParagraphsList& L;
  TZarvNavigator& A;
  TZarvNavigator& C;
  const int32_t fBase, fPar;
  ParInfo& P;
  const int32_t fLen;
  const char16_t* fText;
  const int32_t fAOff, fCOff;
};

DynInfoRec THtmlPass::code(const DynInfoRec& around, int32_t state, int32_t key, int level, int32_t off,
                           int32_t startLen) const {
  const THighlightInfo& look = H.LookOf(state);
  DynInfoRec d = around;
  d.DynStyle = static_cast<uint8_t>((look.KeyStyle() & 0x3F) | dsHasLevel | dsHasAttrib);
  d.Backgnd = look.getBackground();
  d.Foregnd = look.getForeground();
  d.Context = state;
  d.Cursor = 0;
  d.DynOffset = off;
  d.Level = static_cast<int8_t>(level);
  d.CollpsLevel = static_cast<int8_t>(DynToCollapseLevel(around));
  d.CollpsState = 0;
  d.KeyIndex[level] = static_cast<int16_t>(kStartStopBit | uint32_t(fBase + key));
  for (int l = level + 1; l < 16; ++l)
    d.KeyIndex[l] = 0;
  d.SS.StartKlen = KlenOf(startLen);
  d.SS.StopKLen = 0;
  return d;
}

bool THtmlPass::Start(const DynInfoRec& d) {
  const int level = DynToLevel(d);
  if (level < 0)
    return text(d);
  switch (DynToContext(d)) {
  case THtmlHighlighter::kTagStart:
    return tagName(d);
  case THtmlHighlighter::kAttributeArea:
  case THtmlHighlighter::kTagName:
  case THtmlHighlighter::kAttributeName:
  case THtmlHighlighter::kAttributeValue:
    return attribute(d);
  default:
    return false;
  }
}

// Text: the next "<" that opens markup, or "&".
// The next "<" that opens markup, or "&", in the window; fCOff if none.
int32_t THtmlPass::nextMarkup() const {
  for (int32_t i = fAOff; i < fCOff; ++i) {
    const char16_t c = fText[i];
    if (c == u'&')
      return i;
    if (c == u'<' && i + 1 < fLen) {
      const char16_t n = fText[i + 1];
      if (isLetter(n) || n == u'/' || n == u'!' || n == u'?' || n == u'%' || (H.fXMLSyntax && (n == u'_' || n >= 0x80)))
        return i;
    }
  }
  return fCOff;
}

// What the markup at i opens: its state, key and length.
THtmlPass::TOpener THtmlPass::openerAt(int32_t i) const {
  if (fText[i] == u'&')
    return {THtmlHighlighter::kEntity, THtmlHighlighter::kEntityKey, 1};
  if (startsWithFolded(fText, fLen, i, u"<!--"))
    return {THtmlHighlighter::kComment, THtmlHighlighter::kCommentKey, 4};
  if (startsWithFolded(fText, fLen, i, u"<![CDATA["))
    return {THtmlHighlighter::kRawContent, THtmlHighlighter::kCDataKey, 9};
  if (fText[i + 1] == u'%')
    return {THtmlHighlighter::kServerBlock, THtmlHighlighter::kServerKey, 2};
  if (fText[i + 1] == u'?')
    return {THtmlHighlighter::kProcessingBlock, THtmlHighlighter::kProcessingKey, 2};
  return {THtmlHighlighter::kTagStart, THtmlHighlighter::kScriptTag, 1};
}

// Text: the next markup opens its state. A tag, an entity or a comment is
// written whole at once as far as the line holds it; the rest is for the
// next rounds.
bool THtmlPass::text(const DynInfoRec& d) {
  const int32_t i = nextMarkup();
  // A key of the own list or the chain that begins before it comes first.
  if (H.StartStopKeys().Count() > 0 || H.getSubHighlighter()) {
    C.SetParPos(fPar, i);
    if (H.TCustomExtHighlighter::FindStart(A, C, fBase + THtmlHighlighter::kOwnKeysOffset))
      return true;
  }
  if (i >= fCOff)
    return false;
  const TOpener o = openerAt(i);
  rangecodes::PutCode(P, code(d, o.State, o.Key, DynToLevel(d) + 1, i, o.Length));
  int32_t end = -1;
  if (o.State == THtmlHighlighter::kTagStart) {
    return tagBody(d, i + 1, &d);
  } else if (o.State == THtmlHighlighter::kEntity) {
    end = i + 1;
    while (end < fCOff && isEntityChar(fText[end]))
      ++end;
    if (end >= fCOff && fCOff < fLen)
      end = -1; // more may follow beyond the window
    else if (end < fLen && fText[end] == u';')
      ++end;
  } else if (o.State == THtmlHighlighter::kComment) {
    end = findFolded(fText, fLen, i + o.Length, fCOff, u"-->");
    end = end < 0 ? -1 : end + 3;
  }
  if (end < 0)
    return done(i + o.Length);
  DynInfoRec after = d;
  after.DynOffset = end;
  after.SS.StartKlen = 0;
  rangecodes::PutCode(P, after);
  return done(end);
}

// The tag named `name`: its index in the table (or the generic entry for
// XML names and words of the Keywords list, `keyword` then set), or -1;
// `attributes` tells whether it takes attributes.
int32_t THtmlPass::lookUp(std::u16string_view name, bool closing, int32_t& keyword, bool& attributes) const {
  keyword = -1;
  attributes = false;
  if (name.empty())
    return -1;
  if (H.fXMLSyntax) {
    attributes = true;
    return THtmlHighlighter::kGenericTag;
  }
  if (name.size() > size_t(kLongestTag))
    return -1;
  char16_t buf[kLongestTag];
  std::transform(name.begin(), name.end(), buf, upper);
  const std::u16string_view upperName(buf, name.size());
  int32_t tag = THtmlHighlighter::FindTag(upperName);
  if (tag >= 0 && closing && !THtmlHighlighter::Tags()[size_t(tag)].Closable)
    tag = -1;
  if (tag >= 0) {
    attributes = THtmlHighlighter::Tags()[size_t(tag)].Attributes;
    return tag;
  }
  if (H.Keywords().GetCount() > 0 && (keyword = H.findKeywordTag(upperName, name)) >= 0) {
    attributes = true;
    return THtmlHighlighter::kGenericTag;
  }
  return -1;
}

// After "<" (at `from`): the name, looked up, then the rest of the tag, as
// far as this line holds it. `outside` is what comes back after the tag
// (null: found when needed).
bool THtmlPass::tagBody(const DynInfoRec& d, int32_t from, const DynInfoRec* outside) {
  const int level = DynToLevel(d) < 0 ? 0 : DynToLevel(d);
  int32_t e = from;
  while (e < fLen && !isBlank(fText[e]) && fText[e] != u'>' && !(fText[e] == u'/' && e > from))
    ++e;
  const bool closing = e > from && fText[from] == u'/';
  const int32_t nameFrom = from + (closing ? 1 : 0);
  int32_t keyword = -1;
  bool attributes = false;
  const int32_t tag = lookUp(std::u16string_view(fText + nameFrom, size_t(e - nameFrom)), closing, keyword, attributes);
  rangecodes::EraseCodes(P, from, e + 1);
  if (tag < 0) {
    const DynInfoRec rest = code(d, THtmlHighlighter::kUnknownTag, THtmlHighlighter::kUnknownKey, level, from, 0);
    rangecodes::PutCode(P, rest);
    return restOfTag(rest, e, outside);
  }
  DynInfoRec nameCode = code(d, THtmlHighlighter::kTagName, tag, level, from, 0);
  if (keyword >= 0) {
    const TKeywordInfo k = H.Keywords().getKeyInfo(keyword);
    nameCode.DynStyle = static_cast<uint8_t>((k.Style & 0x3F) | dsHasLevel | dsHasAttrib);
    nameCode.Backgnd = k.Backgnd;
    nameCode.Foregnd = k.Foregnd;
    nameCode.Context = k.ContextNumber;
  }
  rangecodes::PutCode(P, nameCode);
  const DynInfoRec rest = !closing && attributes
                              ? code(d, THtmlHighlighter::kAttributeArea, tag, level, e, 0)
                              : code(d, THtmlHighlighter::kUnknownTag, THtmlHighlighter::kUnknownKey, level, e, 0);
  rangecodes::PutCode(P, rest);
  return restOfTag(rest, e, outside);
}

bool THtmlPass::tagName(const DynInfoRec& d) { return tagBody(d, fAOff, nullptr); }

bool THtmlPass::attribute(const DynInfoRec& d) {
  // Only when an "=" comes before ">" (else the stop search ends the tag).
  int32_t q = fAOff;
  while (q < fCOff && fText[q] != u'=' && fText[q] != u'>')
    ++q;
  if (q >= fCOff || fText[q] != u'=')
    return false;
  DynInfoRec area = d;
  area.Context = THtmlHighlighter::kAttributeArea;
  return restOfTag(area, fAOff, nullptr);
}

// The rest of a tag from `from` under the state `rest` (attribute area or
// unknown rest): attributes, then ">" and what follows it, as far as the
// window reaches.
bool THtmlPass::restOfTag(const DynInfoRec& rest, int32_t from, const DynInfoRec* outside) {
  const bool attributes = DynToContext(rest) == THtmlHighlighter::kAttributeArea;
  int32_t pos = from;
  for (;;) {
    int32_t q = pos;
    while (q < fCOff && fText[q] != u'>' && !(attributes && fText[q] == u'='))
      ++q;
    if (q >= fCOff)
      return done(pos);
    if (fText[q] == u'>') {
      writeClose(rest, q, outside);
      return done(q + 1);
    }
    pos = writeAttribute(rest, pos, q);
  }
}

// "name = value" with its "=" at eq, in the attribute area from `from`;
// returns where the value ends.
int32_t THtmlPass::writeAttribute(const DynInfoRec& area, int32_t from, int32_t eq) {
  const int level = DynToLevel(area);
  const int32_t tagKey = int32_t(uint16_t(area.KeyIndex[level]) & 0x7FFF) - fBase;
  int32_t nameEnd = eq;
  while (nameEnd > from && isBlank(fText[nameEnd - 1]))
    --nameEnd;
  int32_t nameStart = nameEnd;
  while (nameStart > from && !isBlank(fText[nameStart - 1]))
    --nameStart;
  int32_t v = eq + 1;
  while (v < fLen && isBlank(fText[v]))
    ++v;
  int32_t valueEnd = v;
  if (v < fLen && (fText[v] == u'"' || fText[v] == u'\'')) {
    const char16_t q = fText[v];
    valueEnd = v + 1;
    while (valueEnd < fLen && fText[valueEnd] != q)
      ++valueEnd;
    valueEnd = std::min(valueEnd + 1, fLen); // an unclosed value ends with its line
  } else {
    while (valueEnd < fLen && !isBlank(fText[valueEnd]) && fText[valueEnd] != u'>')
      ++valueEnd;
  }
  rangecodes::EraseCodes(P, nameStart, valueEnd);
  rangecodes::PutCode(P, code(area, THtmlHighlighter::kAttributeName, tagKey, level, nameStart, 0));
  if (valueEnd > v)
    rangecodes::PutCode(P, code(area, THtmlHighlighter::kAttributeValue, tagKey, level, v, 0));
  rangecodes::PutCode(P, code(area, THtmlHighlighter::kAttributeArea, tagKey, level, valueEnd, 0));
  return valueEnd;
}

// The ">" at q ending a tag in state `rest`; after it what was outside the
// tag, or the raw content of a script or style block.
void THtmlPass::writeClose(const DynInfoRec& rest, int32_t q, const DynInfoRec* outside) {
  const int level = DynToLevel(rest);
  const int32_t local = int32_t(uint16_t(rest.KeyIndex[level]) & 0x7FFF) - fBase;
  const bool selfClosed = q > 0 && fText[q - 1] == u'/';
  const bool raw = DynToContext(rest) == THtmlHighlighter::kAttributeArea && !H.fXMLSyntax && !selfClosed &&
                   (local == THtmlHighlighter::kScriptTag ||
                    (local >= 0 && local < int32_t(THtmlHighlighter::Tags().size()) &&
                     THtmlHighlighter::Tags()[size_t(local)].Name == std::string_view("STYLE")));
  DynInfoRec after = raw       ? code(rest, THtmlHighlighter::kRawContent, local, level, q + 1, 0)
                     : outside ? *outside
                               : restore(level);
  rangecodes::PutCode(P, code(rest, THtmlHighlighter::kClosingBracket, local, level, q, 1));
  after.DynOffset = q + 1;
  after.SS.StartKlen = 0;
  rangecodes::PutCode(P, after);
}

bool THtmlPass::Stop(const DynInfoRec& d, int32_t local) {
  switch (DynToContext(d)) {
  case THtmlHighlighter::kAttributeArea:
  case THtmlHighlighter::kTagName:
  case THtmlHighlighter::kAttributeName:
  case THtmlHighlighter::kAttributeValue:
    return closeTag(d, true);
  case THtmlHighlighter::kUnknownTag:
    return closeTag(d, false);
  case THtmlHighlighter::kClosingBracket:
    return closeAt(d, fAOff);
  case THtmlHighlighter::kComment:
    return comment(d);
  case THtmlHighlighter::kRawContent:
    return rawContent(d, local);
  case THtmlHighlighter::kEntity:
    return entity(d);
  case THtmlHighlighter::kProcessingBlock:
    return block(d, u'?');
  case THtmlHighlighter::kServerBlock:
    return block(d, u'%');
  default:
    return false;
  }
}

// From a line that began inside a tag: the ">" ending it, when it comes
// before any "=".
bool THtmlPass::closeTag(const DynInfoRec& d, bool attributes) {
  int32_t q = fAOff;
  while (q < fCOff && fText[q] != u'>' && !(attributes && fText[q] == u'='))
    ++q;
  if (q >= fCOff || fText[q] != u'>')
    return false;
  DynInfoRec rest = d;
  rest.Context = attributes ? THtmlHighlighter::kAttributeArea : THtmlHighlighter::kUnknownTag;
  writeClose(rest, q, nullptr);
  return done(q + 1);
}

// Ends the range in force at `end`, restoring what was in force before it.
bool THtmlPass::closeAt(const DynInfoRec& d, int32_t end) {
  DynInfoRec next = restore(DynToLevel(d));
  next.DynOffset = end;
  next.SS.StartKlen = 0;
  rangecodes::PutCode(P, next);
  return done(end);
}

bool THtmlPass::comment(const DynInfoRec& d) {
  const int32_t from = scanFrom(d, 2);
  const int32_t to = int32_t(std::min<int64_t>(fLen, int64_t(fCOff) + 3));
  const int32_t at = findFolded(fText, fLen, from, to, u"-->");
  return at >= 0 && closeAt(d, at + 3);
}

bool THtmlPass::rawContent(const DynInfoRec& d, int32_t local) {
  const bool cdata = local == THtmlHighlighter::kCDataKey;
  const std::u16string_view marker = cdata                                   ? std::u16string_view(u"]]>")
                                     : local == THtmlHighlighter::kScriptTag ? std::u16string_view(u"</SCRIPT>")
                                                                             : std::u16string_view(u"</STYLE>");
  const int32_t n = int32_t(marker.size());
  const int32_t from = scanFrom(d, n - 1);
  const int32_t to = int32_t(std::min<int64_t>(fLen, int64_t(fCOff) + n));
  const int32_t at = findFolded(fText, fLen, from, to, marker);
  if (at < 0)
    return false;
  if (cdata)
    return closeAt(d, at + n);
  // The end marker shows as the script tag.
  DynInfoRec next = restore(DynToLevel(d));
  DynInfoRec mark = code(d, THtmlHighlighter::kTagName, local, DynToLevel(d), at, n);
  const THighlightInfo& look = *H.ScriptTag();
  mark.DynStyle = static_cast<uint8_t>((look.KeyStyle() & 0x3F) | dsHasLevel | dsHasAttrib);
  mark.Backgnd = look.getBackground();
  mark.Foregnd = look.getForeground();
  rangecodes::EraseCodes(P, at, at + n);
  rangecodes::PutCode(P, mark);
  next.DynOffset = at + n;
  next.SS.StartKlen = 0;
  rangecodes::PutCode(P, next);
  return done(at + n);
}

// An entity runs over letters, digits, "#", "&" and "_", and takes a ";"
// that ends it; it never continues on the next line.
bool THtmlPass::entity(const DynInfoRec& d) {
  if (fAOff > 0 && fText[fAOff - 1] == u';' && (A.GetDynNb() == 0 || d.DynOffset < fAOff - 1))
    return closeAt(d, fAOff);
  int32_t e = fAOff;
  while (e < fCOff && isEntityChar(fText[e]))
    ++e;
  if (e >= fCOff && fCOff < fLen)
    return false;
  if (e < fLen && fText[e] == u';')
    ++e;
  return closeAt(d, e);
}

bool THtmlPass::block(const DynInfoRec& d, char16_t mark) {
  const int32_t from = scanFrom(d, 1);
  const int32_t to = int32_t(std::min<int64_t>(fLen, int64_t(fCOff) + 2));
  for (int32_t i = from; i + 1 < to; ++i)
    if (fText[i] == mark && fText[i + 1] == u'>')
      return closeAt(d, i + 2);
  return false;
}

bool THtmlHighlighter::FindStart(TZarvNavigator& StartNav, TZarvNavigator& StopNav, int32_t Base) {
  StartNav.RightOfDyn();
  const DynInfoRec d = *StartNav.GetpDynInfo();
  const int level = DynToLevel(d);
  if (level >= kMaxLevel)
    return false;
  const int32_t local = level >= 0 ? int32_t(uint16_t(d.KeyIndex[level]) & 0x7FFF) - Base : -1;
  const bool ownState = level >= 0 && d.KeyIndex[level] < 0 && local >= 0 && local < kOwnKeysOffset;
  if (getActive() && (level < 0 || ownState))
    return THtmlPass(*this, StartNav, StopNav, Base).Start(d);
  return TCustomExtHighlighter::FindStart(StartNav, StopNav, Base + kOwnKeysOffset);
}

bool THtmlHighlighter::FindStop(TZarvNavigator& StartNav, TZarvNavigator& StopNav, int32_t Base) {
  const DynInfoRec d = *StartNav.GetpDynInfo();
  const int level = DynToLevel(d);
  if (level < 0 || level > kMaxLevel)
    return false;
  const int16_t k = d.KeyIndex[level];
  const int32_t local = int32_t(uint16_t(k) & 0x7FFF) - Base;
  if (k >= 0 || local >= kOwnKeysOffset)
    return TCustomExtHighlighter::FindStop(StartNav, StopNav, Base + kOwnKeysOffset);
  if (local < 0 || !getActive())
    return false;
  return THtmlPass(*this, StartNav, StopNav, Base).Stop(d, local);
}

} // namespace zarv
