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
#include <cstdint>
#include <functional>
#include <string>
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
  void Collect(const std::u16string& t, const std::u16string& u, int32_t from, int32_t limit,
               const TCharSet& delimiters);
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
  const TBucket* bucket(bool matchCase, char16_t c) const {
    const int m = matchCase ? 0 : 1;
    if (c < 256)
      return fLow[m][c].empty() ? nullptr : &fLow[m][c];
    const auto it = fHigh[m].find(c);
    return it == fHigh[m].end() ? nullptr : &it->second;
  }
  void scan(const std::u16string& buf, const std::u16string& t, bool matchCase, int32_t from, int32_t limit,
            const TCharSet& delimiters);

  const TKeywordList* fList = nullptr;
  uint64_t fGeneration = ~uint64_t(0);
  std::vector<TKey> fKeys;
  bool fAnyIgnoringCase = false;
  bool fAllWhole = true;        // every key is whole-word only
  bool fWordStartsOnly = false; // ... and none holds a delimiter
  TCharSet fDelimiters;         // the set HasDelimiter was computed for
  bool fDelimitersKnown = false;
  void updateDelimiters(const TCharSet& delimiters);
  int32_t fLongest = 0;
  std::array<TBucket, 256> fLow[2];
  std::unordered_map<char16_t, TBucket> fHigh[2];
  std::vector<std::vector<int32_t>> fCandidates;
  std::vector<int32_t> fTouched;
};

} // namespace zarv
