// One-scan keyword candidate search.
#include <ZarvMemo/support/highlight/KeywordMatcher.h>

#include <QChar>
#include <algorithm>

#include <ZarvMemo/support/store/ParRecords.h>

namespace zarv {

void TKeywordMatcher::Update(const TKeywordList& list) {
  if (fList == &list && fGeneration == list.Generation())
    return;
  fList = &list;
  fGeneration = list.Generation();
  fKeys.clear();
  fAnyIgnoringCase = false;
  fAllWhole = true;
  fLongest = 0;
  for (int m = 0; m < 2; ++m) {
    for (TBucket& b : fLow[m])
      b.clear();
    fHigh[m].clear();
  }
  for (int32_t i = 0; i < list.GetCount(); ++i) {
    const TKeyInfoLen& e = list.KeyInfoLen(i);
    if (e.BasicPart.ContextNumber == 0 || e.KeywordTrans.isEmpty())
      continue; // never applied
    TKey k;
    k.Text = e.KeywordTrans.toStdU16String();
    k.Len = static_cast<int32_t>(k.Text.size());
    k.Index = i;
    k.MatchCase = e.BasicPart.Options.testFlag(woMatchCase);
    k.Whole = e.BasicPart.Options.testFlag(woWholeWordsOnly);
    fAnyIgnoringCase |= !k.MatchCase;
    fAllWhole &= k.Whole;
    fLongest = std::max(fLongest, k.Len);
    const int32_t number = static_cast<int32_t>(fKeys.size());
    const char16_t c = k.Text.front();
    const int m = k.MatchCase ? 0 : 1;
    if (c < 256)
      fLow[m][c].push_back(number);
    else
      fHigh[m][c].push_back(number);
    fKeys.push_back(std::move(k));
  }
  fCandidates.assign(fKeys.size(), {});
  fTouched.clear();
  fDelimitersKnown = false;
}

void TKeywordMatcher::updateDelimiters(const TCharSet& delimiters) {
  if (fDelimitersKnown && delimiters == fDelimiters)
    return;
  fDelimiters = delimiters;
  fDelimitersKnown = true;
  fWordStartsOnly = fAllWhole && !delimiters.test(5);
  for (TKey& k : fKeys) {
    k.HasDelimiter = false;
    for (char16_t c : k.Text)
      if (delimiters.test(zvChar(c)) || delimiters.test(zvChar(QChar(c).toLower().unicode())))
        k.HasDelimiter = true;
    if (k.HasDelimiter)
      fWordStartsOnly = false;
  }
}

void TKeywordMatcher::scan(const std::u16string& buf, const std::u16string& t, bool matchCase, int32_t from,
                           int32_t limit, const TCharSet& delimiters) {
  const int32_t start = std::max(0, from - fLongest);
  const int32_t size = static_cast<int32_t>(buf.size());
  const bool leftFilter = !delimiters.test(5);
  const char16_t* data = buf.data();
  for (int32_t pos = start; pos < limit && pos < size; ++pos) {
    const bool afterDelimiter = pos == 0 || !leftFilter || delimiters.test(zvChar(t[size_t(pos - 1)]));
    if (fWordStartsOnly && !afterDelimiter)
      continue; // inside a word no whole-word key can begin
    const TBucket* b = bucket(matchCase, data[pos]);
    if (!b)
      continue;
    for (int32_t number : *b) {
      const TKey& k = fKeys[size_t(number)];
      if ((k.Whole && !k.HasDelimiter && !afterDelimiter) || pos < from - k.Len || pos + k.Len > size)
        continue;
      const char16_t* key = k.Text.data();
      int32_t i = 1;
      while (i < k.Len && data[pos + i] == key[i])
        ++i;
      if (i < k.Len)
        continue;
      std::vector<int32_t>& c = fCandidates[size_t(number)];
      if (c.empty())
        fTouched.push_back(number);
      c.push_back(pos);
    }
  }
}

void TKeywordMatcher::Collect(const std::u16string& t, const std::u16string& u, int32_t from, int32_t limit,
                              const TCharSet& delimiters) {
  updateDelimiters(delimiters);
  for (int32_t number : fTouched)
    fCandidates[size_t(number)].clear();
  fTouched.clear();
  scan(t, t, true, from, limit, delimiters);
  if (fAnyIgnoringCase)
    scan(u, t, false, from, limit, delimiters);
  std::sort(fTouched.begin(), fTouched.end());
}

void TKeywordMatcher::Find(std::u16string& t, std::u16string& u, bool useU, int32_t from, int32_t limit,
                           const TCharSet& delimiters, char16_t mask,
                           const std::function<bool(int32_t, const TKey&)>& accept,
                           const std::function<void(int32_t, const TKey&)>& found) {
  Collect(t, useU ? u : t, from, limit, delimiters);
  for (const int32_t number : fTouched) {
    const TKey& key = fKeys[size_t(number)];
    const std::u16string& buf = key.MatchCase ? t : u;
    int32_t next = std::max(0, from - key.Len);
    for (const int32_t pos : fCandidates[size_t(number)]) {
      if (pos < next || pos >= limit)
        continue;
      if (buf.compare(size_t(pos), size_t(key.Len), key.Text) != 0)
        continue; // an earlier key claimed some of these characters
      if (accept(pos, key)) {
        std::fill_n(t.begin() + pos, key.Len, mask);
        if (useU)
          std::fill_n(u.begin() + pos, key.Len, mask);
        found(pos, key);
      }
      next = pos + key.Len; // the search goes on after any occurrence
    }
  }
}

} // namespace zarv
