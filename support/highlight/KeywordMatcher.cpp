// One-scan keyword candidate search.
#include <ZarvMemo/support/highlight/KeywordMatcher.h>

#include <QChar>
#include <algorithm>

#include <ZarvMemo/support/store/ParRecords.h>

namespace zarv {

void TKeywordMatcher::TBuckets::clear() {
  for (int m = 0; m < 2; ++m) {
    for (TBucket& b : Low[m])
      b.clear();
    High[m].clear();
    FirstLow[m].reset();
    AnyHigh[m] = false;
  }
}

void TKeywordMatcher::TBuckets::add(bool matchCase, char16_t c, int32_t number) {
  const int m = matchCase ? 0 : 1;
  if (c < 256) {
    Low[m][c].push_back(number);
    FirstLow[m].set(c);
  } else {
    High[m][c].push_back(number);
    AnyHigh[m] = true;
  }
}

void TKeywordMatcher::Update(const TKeywordList& list) {
  if (fList == &list && fGeneration == list.Generation())
    return;
  fList = &list;
  fGeneration = list.Generation();
  fKeys.clear();
  fAnyIgnoringCase = false;
  fAllWhole = true;
  fLongest = 0;
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
  const bool byWords = !delimiters.test(5);
  fPositional.clear();
  for (int m = 0; m < 2; ++m) {
    fAnyPositional[m] = false;
    fWords[m].clear();
    fWordLengths[m].reset();
    fAnyWords[m] = false;
  }
  std::bitset<256> wordFirst[2];
  for (size_t i = 0; i < fKeys.size(); ++i) {
    TKey& k = fKeys[i];
    k.HasDelimiter = false;
    for (char16_t c : k.Text)
      if (delimiters.test(zvChar(c)) || delimiters.test(zvChar(QChar(c).toLower().unicode())))
        k.HasDelimiter = true;
    const int m = k.MatchCase ? 0 : 1;
    const char16_t first = k.Text.front();
    if (byWords && k.Whole && !k.HasDelimiter && k.Len < 64 && first < 256) {
      fWords[m][std::u16string_view(k.Text)].push_back(int32_t(i));
      fWordLengths[m].set(size_t(k.Len));
      wordFirst[m].set(first);
      fAnyWords[m] = true;
    } else {
      fPositional.add(k.MatchCase, first, int32_t(i));
      fAnyPositional[m] = true;
    }
  }
  for (int m = 0; m < 2; ++m)
    for (int c = 0; c < 256; ++c)
      fClass[m][size_t(c)] =
          uint8_t((delimiters.test(size_t(c)) ? kDelimiter : 0) | (wordFirst[m].test(size_t(c)) ? kBeginsWord : 0) |
                  (fPositional.FirstLow[m].test(size_t(c)) ? kBeginsKey : 0));
}

void TKeywordMatcher::record(int32_t number, int32_t pos) {
  std::vector<int32_t>& found = fCandidates[size_t(number)];
  if (found.empty())
    fTouched.push_back(number);
  found.push_back(pos);
}

// The word keys equal to a word of buf beginning in [start, end); words
// end at the delimiters of t (or the buffer's end).
void TKeywordMatcher::scanWords(std::u16string_view buf, std::u16string_view t, int m, int32_t start, int32_t end,
                                int32_t from) {
  const uint8_t* cls = fClass[m].data();
  const uint8_t* delim = fClass[0].data();
  const bool highDelimiter = fDelimiters.test(255);
  const char16_t* text = t.data();
  const int32_t size = int32_t(buf.size());
  auto isDelimiter = [delim, highDelimiter, text](int32_t i) {
    const char16_t c = text[i];
    return c < 256 ? (delim[c] & kDelimiter) != 0 : highDelimiter;
  };
  int32_t pos = start;
  if (pos > 0 && !isDelimiter(pos - 1))
    while (pos < end && !isDelimiter(pos))
      ++pos; // no word key begins inside the word the scan starts in
  const std::bitset<64>& lengths = fWordLengths[m];
  while (pos < end) {
    if (isDelimiter(pos)) {
      ++pos;
      continue;
    }
    int32_t wordEnd = pos + 1;
    while (wordEnd < size && !isDelimiter(wordEnd))
      ++wordEnd;
    const char16_t c = buf[size_t(pos)];
    const int32_t len = wordEnd - pos;
    if (c < 256 && (cls[c] & kBeginsWord) && len < 64 && lengths.test(size_t(len)) && pos >= from - len) {
      const auto it = fWords[m].find(buf.substr(size_t(pos), size_t(len)));
      if (it != fWords[m].end())
        for (const int32_t number : it->second)
          record(number, pos);
    }
    pos = wordEnd;
  }
}

// The other keys, tried wherever their first character stands.
void TKeywordMatcher::scanPositions(std::u16string_view buf, int m, int32_t start, int32_t end, int32_t from) {
  const uint8_t* cls = fClass[m].data();
  const char16_t* data = buf.data();
  const int32_t size = int32_t(buf.size());
  const bool high = fPositional.AnyHigh[m];
  for (int32_t pos = start; pos < end; ++pos) {
    const char16_t c = data[pos];
    if (c < 256 ? !(cls[c] & kBeginsKey) : !high)
      continue;
    const TBucket* b = fPositional.find(m == 0, c);
    if (!b)
      continue;
    for (const int32_t number : *b) {
      const TKey& k = fKeys[size_t(number)];
      if (pos < from - k.Len || pos + k.Len > size)
        continue;
      if (std::equal(k.Text.begin() + 1, k.Text.end(), data + pos + 1))
        record(number, pos);
    }
  }
}

void TKeywordMatcher::scan(std::u16string_view buf, std::u16string_view t, bool matchCase, int32_t from, int32_t limit,
                           const TCharSet& delimiters) {
  const int32_t start = std::max(0, from - fLongest);
  const int32_t end = std::min(limit, static_cast<int32_t>(buf.size()));
  const int m = matchCase ? 0 : 1;
  (void)delimiters; // known through updateDelimiters
  if (fAnyWords[m])
    scanWords(buf, t, m, start, end, from);
  if (fAnyPositional[m])
    scanPositions(buf, m, start, end, from);
}

void TKeywordMatcher::Collect(std::u16string_view t, std::u16string_view u, int32_t from, int32_t limit,
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
