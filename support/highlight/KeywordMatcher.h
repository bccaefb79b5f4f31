// Finding keyword occurrences in a window with one scan.
//
// The keyword pass must find, for every keyword in list order, the
// occurrences a plain left-to-right substring search would find in a buffer
// that earlier keywords have already masked. Searching the window once per
// keyword costs a scan per keyword; this matcher instead scans the window
// once, looks keywords up by their first character, and records where each
// one matches. The pass then settles the candidates keyword by keyword in
// list order, re-checking each against the masked buffer, which gives
// exactly the occurrences of the one-search-per-keyword method (masking
// only ever removes occurrences).
#pragma once

#include <ZarvMemo/platform/Sets.h>
#include <ZarvMemo/support/highlight/KeywordList.h>

#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zarv {

class TKeywordMatcher {
public:
  struct TKey {
    std::u16string Text; // as searched (upper-cased unless match-case)
    int32_t Len = 0;
    int32_t Index = 0; // in the keyword list
    bool MatchCase = false;
    bool Whole = false;
    // The key holds a delimiter: a whole-word occurrence can then begin
    // inside a rejected one, so it must be looked for everywhere.
    bool HasDelimiter = false;
  };

  // Rebuilds the tables when the list changed since the last call.
  void Update(const TKeywordList& list);
  const std::vector<TKey>& Keys() const { return fKeys; }
  bool AnyIgnoringCase() const { return fAnyIgnoringCase; }

  // Records, per key, the positions in [from - Len, limit) of `t` (for
  // match-case keys) or `u` (for the others) where the key matches.
  // Positions are window offsets; `touched` lists the keys with candidates
  // in list order. A whole-word key without delimiters in it is not recorded
  // where the character before it in `t` is no delimiter: such an occurrence
  // is rejected, and no accepted one can begin inside it (masking never
  // makes a delimiter, unless the mask character itself is one, which turns
  // this off). The candidate lists stay valid until the next call.
  void Collect(std::u16string_view t, std::u16string_view u, int32_t from, int32_t limit, const TCharSet& delimiters);
  const std::vector<int32_t>& Touched() const { return fTouched; }
  const std::vector<int32_t>& Candidates(int32_t key) const { return fCandidates[size_t(key)]; }

  // The occurrences one left-to-right search per key, in list order, finds
  // in [from - Len, limit) of `t` (match-case keys) or `u` (the others):
  // after each occurrence the search goes on Len characters further; an
  // occurrence that `accept` takes (the whole-word test, given the buffers
  // as masked so far) is reported to `found` and masked with `mask` in both
  // buffers, so later keys cannot claim its characters. With `useU` false,
  // `u` is not used and every key must be match-case.
  void Find(std::u16string& t, std::u16string& u, bool useU, int32_t from, int32_t limit, const TCharSet& delimiters,
            char16_t mask, const std::function<bool(int32_t, const TKey&)>& accept,
            const std::function<void(int32_t, const TKey&)>& found);

private:
  using TBucket = std::vector<int32_t>; // key numbers in list order
  // Keys by first character, for match-case keys (0) and the others (1).
  struct TBuckets {
    std::array<TBucket, 256> Low[2];
    std::unordered_map<char16_t, TBucket> High[2];
    // Which buckets are not empty: most text characters begin no key, and
    // one bit test turns them away.
    std::bitset<256> FirstLow[2];
    bool AnyHigh[2] = {false, false};
    bool mayBegin(int m, char16_t c) const { return c < 256 ? FirstLow[m].test(c) : AnyHigh[m]; }
    void clear();
    void add(bool matchCase, char16_t c, int32_t number);
    const TBucket* find(bool matchCase, char16_t c) const {
      const int m = matchCase ? 0 : 1;
      if (c < 256)
        return Low[m][c].empty() ? nullptr : &Low[m][c];
      const auto it = High[m].find(c);
      return it == High[m].end() ? nullptr : &it->second;
    }
  };
  void scan(std::u16string_view buf, std::u16string_view t, bool matchCase, int32_t from, int32_t limit,
            const TCharSet& delimiters);

  const TKeywordList* fList = nullptr;
  uint64_t fGeneration = ~uint64_t(0);
  std::vector<TKey> fKeys;
  bool fAnyIgnoringCase = false;
  bool fAllWhole = true; // every key is whole-word only
  TCharSet fDelimiters;  // the set HasDelimiter was computed for
  bool fDelimitersKnown = false;
  void updateDelimiters(const TCharSet& delimiters);
  int32_t fLongest = 0;
  // Whole-word keys without a delimiter in them match only a whole word of
  // the text (masking never makes a delimiter while the mask character is
  // none): they are looked up by the word, once per word (fWords, with the
  // lengths and first characters they have). Every other key (not
  // whole-word, holding a delimiter, or every key when the mask is a
  // delimiter) is tried at each position its first character stands
  // (fPositional).
  TBuckets fPositional;
  // A cheap hash of a word: its length and three of its characters.
  struct TWordHash {
    size_t operator()(std::u16string_view w) const {
      size_t h = w.size();
      h = h * 131 + w.front();
      h = h * 131 + w[w.size() / 2];
      return h * 131 + w.back();
    }
  };
  std::unordered_map<std::u16string_view, TBucket, TWordHash> fWords[2];
  bool fAnyPositional[2] = {false, false};
  std::bitset<64> fWordLengths[2];
  bool fAnyWords[2] = {false, false};
  // Per 8-bit character and case bucket: whether it is a delimiter, may
  // begin a word key, may begin a positional key. One lookup per text
  // character decides most of the scan.
  enum : uint8_t { kDelimiter = 1, kBeginsWord = 2, kBeginsKey = 4 };
  std::array<uint8_t, 256> fClass[2]{};
  void scanWords(std::u16string_view buf, std::u16string_view t, int m, int32_t start, int32_t end, int32_t from);
  void scanPositions(std::u16string_view buf, int m, int32_t start, int32_t end, int32_t from);
  void record(int32_t number, int32_t pos);
  std::vector<std::vector<int32_t>> fCandidates;
  std::vector<int32_t> fTouched;
};

} // namespace zarv
