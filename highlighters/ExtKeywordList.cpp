// Keyword entries with scope and priority, and their all-or-nothing ini
// loading.
#include <ZarvMemo/highlighters/ExtKeywordList.h>

#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/support/highlight/KeyIniLine.h>

#include <vector>

namespace zarv {

int32_t TExtKeywordList::AddExtKeyWord(const QString& Keyword, TWordOptions Options, TZarvFontStyles Style,
                                       int16_t Context, int16_t Scope, int16_t Priority, int16_t Cursor, TColor Backgnd,
                                       TColor Foregnd) {
  const int32_t i = AddKeyWord(Keyword, Options, Style, Context, Cursor, Backgnd, Foregnd);
  TKeyInfoLen& e = entry(i);
  e.Scope = Scope;
  e.Priority = Priority;
  return i;
}

void TExtKeywordList::setScope(int32_t index, int32_t value) { entry(index).Scope = value; }

void TExtKeywordList::setPriority(int32_t index, int32_t value) { entry(index).Priority = value; }

void TExtKeywordList::LoadFromIniStrings(const TStrings& strings) {
  struct TLine {
    QString Key;
    TKeyIniAttributes A;
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
    l.Key = line.left(sep);
    l.A = ReadKeyIniAttributes(v);
    if (!v.AtEnd()) {
      l.Scope = v.Next();
      l.Priority = v.Next();
    }
    lines.push_back(std::move(l));
  }
  if (lines.size() > size_t(kMaxEntries))
    throw EListError();
  UpdateLock lock(*this);
  Clear();
  for (const TLine& l : lines)
    AddExtKeyWord(l.Key, TWordOptions::fromInt(unsigned(l.A.Options & kWordOptionsMask)),
                  static_cast<TZarvFontStyles>(l.A.Style), static_cast<int16_t>(l.A.Context),
                  static_cast<int16_t>(l.Scope), static_cast<int16_t>(l.Priority), static_cast<int16_t>(l.A.Cursor),
                  l.A.Backgnd, l.A.Foregnd);
}

} // namespace zarv
