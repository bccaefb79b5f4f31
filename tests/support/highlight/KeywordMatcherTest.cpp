// The one-scan keyword search finds exactly what one left-to-right search
// per keyword finds, keyword by keyword in list order over buffers that
// earlier keywords mask: checked against that plain method on random
// keyword lists and windows.
#include <ZarvMemo/support/highlight/KeywordMatcher.h>

#include <gtest/gtest.h>
#include <random>

using namespace zarv;

namespace {

constexpr char16_t kMask = 5;

struct Hit {
  int32_t Pos;
  int32_t Index;
  bool operator==(const Hit&) const = default;
};

// The plain method: one substring search per keyword.
std::vector<Hit> plainSearch(const TKeywordList& list, std::u16string t, std::u16string u, int32_t from, int32_t limit,
                             const TCharSet& delims) {
  std::vector<Hit> hits;
  auto delimAt = [&](int32_t i) { return i < 0 || i >= int32_t(t.size()) || delims.test(zvChar(t[size_t(i)])); };
  for (int32_t k = 0; k < list.GetCount(); ++k) {
    const TKeyInfoLen& e = list.KeyInfoLen(k);
    if (e.BasicPart.ContextNumber == 0 || e.KeyLen == 0)
      continue;
    const bool matchCase = e.BasicPart.Options.testFlag(woMatchCase);
    const bool whole = e.BasicPart.Options.testFlag(woWholeWordsOnly);
    const std::u16string key = e.KeywordTrans.toStdU16String();
    const std::u16string& buf = matchCase ? t : u;
    size_t pos = buf.find(key, size_t(std::max(0, from - e.KeyLen)));
    while (pos != std::u16string::npos && int32_t(pos) < limit) {
      const int32_t at = int32_t(pos);
      if (!whole || (delimAt(at - 1) && delimAt(at + e.KeyLen))) {
        std::fill_n(t.begin() + at, e.KeyLen, kMask);
        std::fill_n(u.begin() + at, e.KeyLen, kMask);
        hits.push_back({at, k});
      }
      pos = buf.find(key, pos + size_t(e.KeyLen));
    }
  }
  return hits;
}

} // namespace

TEST(KeywordMatcher, FindsWhatOneSearchPerKeywordFinds) {
  std::mt19937 rng(qEnvironmentVariableIsSet("ZARV_SEED") ? qEnvironmentVariableIntValue("ZARV_SEED") : 31);
  const std::u16string alphabet = u"abcAB. -";
  const TCharSet delims = MakeCharSet(" .");
  int compared = 0, found = 0;
  for (int round = 0; round < 300; ++round) {
    TKeywordList list;
    const int keys = 1 + int(rng() % 12);
    for (int i = 0; i < keys; ++i) {
      QString key;
      for (int n = 1 + int(rng() % 4); n > 0; --n)
        key += QChar(alphabet[rng() % 6]); // letters and dots
      TWordOptions options;
      if (rng() % 2)
        options |= woMatchCase;
      if (rng() % 2)
        options |= woWholeWordsOnly;
      list.AddKeyWord(key, options, 0, rng() % 5 ? 1 + int(rng() % 3) : 0, 0, clNone, clNone);
    }
    TKeywordMatcher matcher;
    matcher.Update(list);
    for (int w = 0; w < 10; ++w) {
      std::u16string t;
      for (int n = int(rng() % 80); n > 0; --n)
        t += rng() % 15 ? alphabet[rng() % alphabet.size()] : kMask;
      std::u16string u = t;
      for (char16_t& c : u)
        if (c >= u'a' && c <= u'z')
          c = char16_t(c - 32);
      const int32_t size = int32_t(t.size());
      const int32_t from = size ? int32_t(rng() % (size + 1)) : 0;
      const int32_t limit = from + int32_t(rng() % (size - from + 1));
      const std::vector<Hit> expected = plainSearch(list, t, u, from, limit, delims);
      std::vector<Hit> actual;
      std::u16string tt = t, uu = u;
      auto delimAt = [&](int32_t i) { return i < 0 || i >= size || delims.test(zvChar(tt[size_t(i)])); };
      matcher.Find(
          tt, uu, true, from, limit, delims, kMask,
          [&](int32_t pos, const TKeywordMatcher::TKey& key) {
            return !key.Whole || (delimAt(pos - 1) && delimAt(pos + key.Len));
          },
          [&](int32_t pos, const TKeywordMatcher::TKey& key) {
            actual.push_back({pos, key.Index});
          });
      ASSERT_EQ(actual.size(), expected.size()) << "round " << round << " window " << w;
      for (size_t i = 0; i < actual.size(); ++i) {
        if (!(actual[i] == expected[i])) {
          std::string keysText, tText;
          for (int32_t k = 0; k < list.GetCount(); ++k)
            keysText += list.Get(k).toStdString() + "/" + std::to_string(list.KeyInfoLen(k).BasicPart.Options.toInt()) +
                        "/" + std::to_string(list.KeyInfoLen(k).BasicPart.ContextNumber) + " ";
          for (char16_t c : t)
            tText += c == kMask ? '#' : char(c);
          std::string hits;
          for (size_t j = 0; j < actual.size(); ++j)
            hits += "(" + std::to_string(actual[j].Pos) + "," + std::to_string(actual[j].Index) + " vs " +
                    std::to_string(expected[j].Pos) + "," + std::to_string(expected[j].Index) + ") ";
          FAIL() << "round " << round << " window " << w << " hit " << i << "\nkeys " << keysText << "\ntext [" << tText
                 << "] from " << from << " limit " << limit << "\n"
                 << hits;
        }
      }
      found += int(actual.size());
      ++compared;
    }
  }
  EXPECT_EQ(compared, 3000);
  EXPECT_GT(found, 1000) << "the random windows hold keywords";
}

TEST(KeywordMatcher, FollowsChangesOfTheList) {
  TKeywordList list;
  list.AddKeyWord(QStringLiteral("if"), woMatchCase, 0, 1, 0, clNone, clNone);
  TKeywordMatcher matcher;
  matcher.Update(list);
  ASSERT_EQ(matcher.Keys().size(), 1u);
  list.AddKeyWord(QStringLiteral("else"), woMatchCase, 0, 1, 0, clNone, clNone);
  list.AddKeyWord(QStringLiteral("never"), woMatchCase, 0, 0, 0, clNone, clNone);
  matcher.Update(list);
  ASSERT_EQ(matcher.Keys().size(), 2u) << "a keyword with context 0 is never searched";
  EXPECT_EQ(matcher.Keys()[1].Text, u"else");
}
