// Start-stop entries with scope, priority and range options, their copy and
// their all-or-nothing ini loading.
#include <ZarvMemo/highlighters/ExtStartStopList.h>

#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/platform/Strings.h>
#include <ZarvMemo/support/highlight/KeyIniLine.h>

#include <vector>

namespace zarv {

namespace {
constexpr unsigned kRangeOptionsMask = ssoParStop | ssoDelStop | ssoCollapsible;
}

int32_t TExtStartStopList::AddExStartStopKey(const QString& StartKey, const QString& StopKey, TWordOptions Options,
                                             TZarvFontStyles Style, int16_t Context, int16_t Scope, int16_t Priority,
                                             int16_t Cursor, TColor Backgnd, TColor Foregnd, TssOptions ssOptions) {
  const int32_t i = AddStartStopKey(StartKey, StopKey, Options, Style, Context, Cursor, Backgnd, Foregnd,
                                    ssOptions.testFlag(ssoParStop));
  StartStopInfo& e = Entry(i);
  e.Scope = Scope;
  e.Priority = Priority;
  e.ssOptions = TssOptions::fromInt(ssOptions.toInt() & kRangeOptionsMask);
  return i;
}

void TExtStartStopList::Assign(const TStartStopKeyList& source) {
  if (&source == this)
    return;
  Clear();
  setUpperCaseType(source.getUpperCaseType());
  for (int32_t i = 0; i < source.Count(); ++i) {
    const StartStopInfo& s = source.Entry(i);
    const TKeywordInfo& a = s.Attributes;
    const int32_t j = AddStartStopKey(s.StartKeyStr, s.StopKeyStr, a.Options, a.Style, a.ContextNumber, a.Cursor,
                                      a.Backgnd, a.Foregnd, s.ssOptions.testFlag(ssoParStop));
    StartStopInfo& e = Entry(j);
    e.Scope = s.Scope;
    e.Priority = s.Priority;
    e.Extra = s.Extra;
    e.ssOptions = s.ssOptions;
  }
}

void TExtStartStopList::LoadFromIniStrings(const TStrings& strings) {
  struct TLine {
    QString Start, Stop;
    TKeyIniAttributes A;
    TssOptions Range;
    int32_t Scope = 0, Priority = 0;
  };
  // Every line is read before the list changes.
  std::vector<TLine> lines;
  const int32_t n = strings.GetCount();
  for (int32_t i = 0; i < n; ++i) {
    const QString line = strings.Get(i);
    const qsizetype sep = KeyIniSeparator(line);
    if (sep < 0)
      continue;
    TKeyIniValues v(line, sep);
    TLine l;
    l.A = ReadKeyIniAttributes(v);
    const int32_t seventh = v.Next();
    if (v.AtEnd()) {
      // The short form: the seventh value is the paragraph-stop flag.
      if (seventh != 0)
        l.Range = ssoParStop;
    } else {
      l.Range = TssOptions::fromInt(unsigned(seventh) & kRangeOptionsMask);
      l.Scope = v.Next();
      l.Priority = v.Next();
    }
    const QString keys = line.left(sep);
    const qsizetype bar = keys.indexOf(u'|');
    l.Start = bar < 0 ? keys : keys.left(bar);
    l.Stop = bar < 0 ? QString() : keys.mid(bar + 1);
    lines.push_back(std::move(l));
  }
  if (lines.size() > size_t(kMaxEntries))
    throw EListError();
  Clear();
  for (const TLine& l : lines)
    AddExStartStopKey(l.Start, l.Stop, TWordOptions::fromInt(unsigned(l.A.Options & kWordOptionsMask)),
                      static_cast<TZarvFontStyles>(l.A.Style), static_cast<int16_t>(l.A.Context),
                      static_cast<int16_t>(l.Scope), static_cast<int16_t>(l.Priority), static_cast<int16_t>(l.A.Cursor),
                      l.A.Backgnd, l.A.Foregnd, l.Range);
}

} // namespace zarv
