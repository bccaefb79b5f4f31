// Tests of the start-stop key list: chunked storage, folding, chains
// (Previous), start check lengths, longest-key bounds, check flags, the
// binary form (packed range options and Extra, the older layout, bad streams)
// and the ini-strings form.
#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/platform/FilerError.h>
#include <ZarvMemo/platform/StringList.h>
#include <ZarvMemo/platform/ValueFiler.h>
#include <ZarvMemo/support/highlight/StartStopKeyList.h>

#include <QBuffer>
#include <gtest/gtest.h>

#include <initializer_list>
#include <random>
#include <tuple>

namespace zarv {
namespace {

QByteArray Bytes(std::initializer_list<int> b) {
  QByteArray out;
  for (int v : b)
    out.append(static_cast<char>(v));
  return out;
}

QStringList L(std::initializer_list<const char*> items) {
  QStringList out;
  for (const char* s : items)
    out.append(QString::fromUtf8(s));
  return out;
}

int32_t Add(TStartStopKeyList& list, const QString& start, const QString& stop, TWordOptions options = {},
            bool parStop = false) {
  return list.AddStartStopKey(start, stop, options, 0, 1, 0, clNone, clNone, parStop);
}
int32_t Add(TStartStopKeyList& list, const char16_t* start, const char16_t* stop, TWordOptions options = {},
            bool parStop = false) {
  return Add(list, QString::fromUtf16(start), QString::fromUtf16(stop), options, parStop);
}

QByteArray WriteList(const TStartStopKeyList& list) {
  QByteArray out;
  QBuffer buf(&out);
  buf.open(QIODevice::WriteOnly);
  TWriter w(buf);
  list.WriteData(w);
  return out;
}

void ReadList(TStartStopKeyList& list, QByteArray bytes) {
  QBuffer buf(&bytes);
  buf.open(QIODevice::ReadOnly);
  TReader r(buf);
  list.ReadData(r);
}

TEST(StartStopKeyList, EntriesFillChunksSizedFromTheEntryAndNeverMove) {
  TStartStopKeyList list;
  EXPECT_EQ(list.ElementSpace() % 16, 0);
  EXPECT_GE(list.ElementSpace(), static_cast<int32_t>(sizeof(StartStopInfo)));
  EXPECT_EQ(list.ElementsPerBuffer(), 32768 / list.ElementSpace());
  const int32_t n = 2 * list.ElementsPerBuffer() + 7;
  std::vector<const StartStopInfo*> addresses;
  for (int32_t i = 0; i < n; ++i) {
    ASSERT_EQ(Add(list, QStringLiteral("k%1").arg(i), QStringLiteral("e")), i);
    addresses.push_back(&list.Entry(i));
  }
  EXPECT_EQ(list.ChunkCount(), 3);
  for (int32_t i = 0; i < n; ++i) {
    ASSERT_EQ(&list.Entry(i), addresses[size_t(i)]);
    ASSERT_EQ(list.Entry(i).StartKeyStr, QStringLiteral("k%1").arg(i));
  }
  EXPECT_THROW(list.Entry(n), ERangeError);
  EXPECT_EQ(list.CheckIntegrity(), QString());
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.ChunkCount(), 1);
}

TEST(StartStopKeyList, KeysWithoutMatchCaseAreFoldedAndTheGivenTextIsKept) {
  TStartStopKeyList list;
  Add(list, u"/*", u"*/");
  Add(list, u"abc", u"xyz");
  Add(list, u"Rem", u"", woMatchCase);
  EXPECT_EQ(list.Entry(0).StartKey, u"/*");
  EXPECT_EQ(list.Entry(0).StopKey, u"*/");
  EXPECT_EQ(list.Entry(1).StartKey, u"ABC");
  EXPECT_EQ(list.Entry(1).StopKey, u"XYZ");
  EXPECT_EQ(list.Entry(1).StartKeyStr, QStringLiteral("abc"));
  EXPECT_EQ(list.Entry(1).StopKeyStr, QStringLiteral("xyz"));
  EXPECT_EQ(list.Entry(2).StartKey, u"Rem");

  // Refolding touches only case-insensitive keys and renews the chains.
  Add(list, u"\u00e9<", u">");
  Add(list, u"\u00c9<", u"]");
  Add(list, u"\u00e9m", u"end", woMatchCase);
  EXPECT_EQ(list.Entry(4).Previous, -1) << "ASCII folding keeps the accents apart";
  list.UpdateCheckFlags(TCharSet());
  list.setUpperCaseType(zvuAnsi);
  EXPECT_EQ(list.Entry(3).StartKey, u"\u00c9<");
  EXPECT_EQ(list.Entry(4).Previous, 3);
  EXPECT_EQ(list.Entry(5).StartKey, u"\u00e9m");
  EXPECT_FALSE(list.fDelChecked) << "the check flags depend on the keys";
  EXPECT_EQ(list.CheckIntegrity(), QString());
}

TEST(StartStopKeyList, PreviousNamesTheFirstEarlierEntryWithTheSameKeyAndOptions) {
  TStartStopKeyList list;
  Add(list, u"<", u" ");
  Add(list, u"<", u">");
  Add(list, u"<", u"/>");
  Add(list, u"<", u">", woWholeWordsOnly); // other options: a chain of its own
  Add(list, u"b", u"e");
  Add(list, u"B", u"E"); // folds to the same key
  Add(list, u"b", u"e", woMatchCase);
  const int32_t expected[] = {-1, 0, 0, -1, -1, 4, -1};
  for (int32_t i = 0; i < list.Count(); ++i)
    EXPECT_EQ(list.Entry(i).Previous, expected[i]) << i;
  EXPECT_EQ(list.CheckIntegrity(), QString());
}

TEST(StartStopKeyList, StartCheckLenCoversLongerEarlierKeysThatBeginWithIt) {
  TStartStopKeyList list;
  const std::pair<const char16_t*, int32_t> cases[] = {{u"abc", 3}, {u"ab", 3}, {u"abcde", 5}, {u"a", 5}, {u"b", 1}};
  for (const auto& [key, checkLen] : cases)
    EXPECT_EQ(list.Entry(Add(list, key, u"x")).StartCheckLen, checkLen);
  EXPECT_EQ(list.Entry(0).StartCheckLen, 3) << "later entries do not count";
}

// Chains and check lengths found through the key indexes equal the plain
// definition (CheckIntegrity walks every earlier entry), on random keys
// that often share prefixes, across case options and refolding.
TEST(StartStopKeyList, RandomKeysLinkAsThePlainWalkOverEarlierEntriesDoes) {
  std::mt19937 rng(11);
  const char16_t* pieces[] = {u"<", u"a", u"A", u"<<", u"ab", u"/*", u"\u00e9", u"\u00c9"};
  for (int round = 0; round < 30; ++round) {
    TStartStopKeyList list;
    const int n = 1 + int(rng() % 40);
    for (int i = 0; i < n; ++i) {
      std::u16string key;
      for (int k = 1 + int(rng() % 3); k > 0; --k)
        key += pieces[rng() % std::size(pieces)];
      Add(list, key.c_str(), u">", (rng() % 2) ? TWordOptions(woMatchCase) : TWordOptions());
      if (rng() % 15 == 0)
        list.setUpperCaseType(TzvUpperCase(rng() % 3));
      ASSERT_EQ(list.CheckIntegrity().toStdString(), "") << "round " << round << " entry " << i;
    }
  }
}

// Entry indexes live in 15 bits of a style run; the list refuses to grow
// past what they can number, and keeps what it has.
TEST(StartStopKeyList, AListRefusesMoreEntriesThanRunsCanNumber) {
  TStartStopKeyList list;
  for (int32_t i = 0; i < TStartStopKeyList::kMaxEntries; ++i)
    Add(list, u"<", u">");
  EXPECT_EQ(list.Entry(TStartStopKeyList::kMaxEntries - 1).Previous, 0);
  EXPECT_THROW(Add(list, u"<", u">"), EListError);
  EXPECT_EQ(list.Count(), TStartStopKeyList::kMaxEntries);
}

TEST(StartStopKeyList, BoundsAndSummaryOptionsFollowTheEntries) {
  TStartStopKeyList list;
  EXPECT_EQ(list.GWOpt(), TWordOptions());
  Add(list, u"<!--", u"-->", woMatchCase | woFirstParWord);
  EXPECT_EQ(list.GWOpt(), woFirstParWord) << "created with an empty summary";
  EXPECT_EQ(std::make_pair(list.LongestStartKey(), list.LongestStopKey()), std::make_pair(4, 3));
  list.Clear();
  EXPECT_EQ(list.GWOpt(), TWordOptions(woMatchCase));
  EXPECT_EQ(std::make_pair(list.LongestStartKey(), list.LongestStopKey()), std::make_pair(4, 3)) << "kept by Clear";
  Add(list, u"a", u"b", woMatchCase | woFirstNonBlank);
  EXPECT_EQ(list.GWOpt(), woMatchCase | woFirstNonBlank);
  Add(list, u"c", u"d");
  EXPECT_EQ(list.GWOpt(), TWordOptions(woFirstNonBlank));

  TStartStopKeyList lineComment;
  Add(lineComment, u"//", u"", {}, true);
  EXPECT_EQ(lineComment.LongestStopKey(), 2) << "the paragraph break counts as a two-character stop";
}

TEST(StartStopKeyList, CheckFlagsAskForWholeWordChecksOnlyBesideNonDelimiters) {
  struct Case {
    const char16_t* start;
    const char16_t* stop;
    TWordOptions options;
    bool startLeft, startRight, stopLeft, stopRight;
  };
  const Case cases[] = {
      {u"begin", u"end", woWholeWordsOnly, true, true, true, true},
      {u"begin", u"end", {}, false, false, false, false},
      {u"(*", u"*)", woWholeWordsOnly, false, false, false, false},
      {u"#if", u"", woWholeWordsOnly, false, true, false, false},
      {u"x(", u")y", woWholeWordsOnly, true, false, false, true},
      {u"\u4e2d", u" ", woWholeWordsOnly, true, true, false, false},
  };
  TStartStopKeyList list;
  for (const auto& c : cases)
    Add(list, c.start, c.stop, c.options);
  list.UpdateCheckFlags(MakeCharSet(" ()*#"));
  EXPECT_TRUE(list.fDelChecked);
  for (int32_t i = 0; i < list.Count(); ++i) {
    const StartStopInfo& e = list.Entry(i);
    const Case& c = cases[i];
    EXPECT_EQ(std::make_tuple(e.StartLeftCheck, e.StartRightCheck, e.StopLeftCheck, e.StopRightCheck),
              std::make_tuple(c.startLeft, c.startRight, c.stopLeft, c.stopRight))
        << i;
  }
  Add(list, u"z", u"z");
  EXPECT_FALSE(list.fDelChecked) << "a new entry makes the flags stale";
}

// ---- Text form -------------------------------------------------------------------

TEST(StartStopKeyList, IniLinesCarryAllRangeOptionsButLoadOnlyTheParagraphStop) {
  TStartStopKeyList list;
  list.AddStartStopKey(QStringLiteral("//"), QString(), {}, 0, 7, 0, clNone, clNone, true);
  const int32_t i = list.AddStartStopKey(QStringLiteral("<%"), QStringLiteral("%>"), woMatchCase, fsItalic, -5, 3,
                                         clBlue, clWindow, false);
  list.Entry(i).ssOptions = ssoDelStop | ssoCollapsible;
  list.Entry(i).Scope = 4;
  list.Entry(i).Priority = -1;
  list.Entry(i).Extra = 77; // never written
  TStringList lines(L({"stale"}));
  list.SaveToIniStrings(lines);
  EXPECT_EQ(lines.ToStringList(),
            L({"//|=0,0,7,0,536870911,536870911,1,0,0,", "<%|%>=1,2,-5,3,16711680,-16777211,6,4,-1,"}));

  TStartStopKeyList back;
  lines.Add(QStringLiteral("a comment without separator"));
  lines.Add(QStringLiteral("(*|*)=2,0,1,0,0,0,7"));
  back.LoadFromIniStrings(lines);
  ASSERT_EQ(back.Count(), 3);
  EXPECT_EQ(back.Entry(0).ssOptions, TssOptions(ssoParStop));
  EXPECT_EQ(back.Entry(1).Attributes, list.Entry(1).Attributes);
  EXPECT_EQ(back.Entry(1).ssOptions, TssOptions());
  EXPECT_EQ(std::make_tuple(back.Entry(1).Scope, back.Entry(1).Priority, back.Entry(1).Extra),
            std::make_tuple(0, 0, 0));
  EXPECT_EQ(back.Entry(2).ssOptions, TssOptions(ssoParStop));
  EXPECT_EQ(back.CheckIntegrity(), QString());
}

TEST(StartStopKeyList, IniKeysMayHoldEqualsSignsAndAMissingBarMakesAStartKeyOnly) {
  TStartStopKeyList list;
  list.LoadFromIniStrings(TStringList(L({"=|==0,0,1,0,0,0,0,", "a=b|c=d=1,0,1,0,0,0,0,", "rem=0,0,1,0,0,0,1,"})));
  const std::pair<const char*, const char*> keys[] = {{"=", "="}, {"a=b", "c=d"}, {"rem", ""}};
  TStringList lines;
  list.SaveToIniStrings(lines);
  TStartStopKeyList back;
  back.LoadFromIniStrings(lines);
  ASSERT_EQ(back.Count(), 3);
  for (int32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(back.Entry(i).StartKeyStr, QString::fromLatin1(keys[i].first));
    EXPECT_EQ(back.Entry(i).StopKeyStr, QString::fromLatin1(keys[i].second));
  }
}

TEST(StartStopKeyList, AMalformedIniNumberRaisesAConvertErrorAndKeepsEarlierEntries) {
  for (const char* bad : {"x|y=0,0,1,0,0,0", "x|y=0,0,1,0,0,0,", "x|y=0,0,1,0,0,0,yes,", "x|y=0,,1,0,0,0,0,"}) {
    TStartStopKeyList list;
    EXPECT_THROW(list.LoadFromIniStrings(TStringList(L({"a|b=0,0,1,0,0,0,0,", bad, "c|d=0,0,1,0,0,0,0,"}))),
                 EConvertError)
        << bad;
    ASSERT_EQ(list.Count(), 1) << bad;
    EXPECT_EQ(list.Entry(0).StartKeyStr, QStringLiteral("a"));
    EXPECT_EQ(list.CheckIntegrity(), QString());
  }
}

// ---- Binary form -----------------------------------------------------------------

TEST(StartStopKeyList, BinaryFormPacksTheRangeOptionsWithExtra) {
  TStartStopKeyList list;
  const int32_t i = Add(list, u"{", u"}", woMatchCase, true);
  list.Entry(i).ssOptions = ssoParStop | ssoCollapsible;
  list.Entry(i).Extra = 3;
  list.Entry(i).Scope = -1;
  list.Entry(i).Priority = 1;
  EXPECT_EQ(WriteList(list),
            Bytes({1, 20,   1,    0,    0,    0, '{',  20,   1,    0,    0, 0, '}', 3, 0x81, 0, // options 1 + 128
                   2, 0,    2,    1,    2,    0, // style, context, cursor
                   4, 0xFF, 0xFF, 0xFF, 0x1F, 4, 0xFF, 0xFF, 0xFF, 0x1F,
                   9,                // paragraph stop
                   2, 0xFF, 2,    1, // scope, priority
                   2, 0x35, 0}));    // 5 (range options) + 3 x 16
}

TEST(StartStopKeyList, BinaryRoundTripKeepsScopePriorityExtraAndRangeOptions) {
  const std::pair<TssOptions, int32_t> cases[] = {
      {ssoParStop | ssoCollapsible, 3},
      {ssoDelStop, 0},
      {{}, -3},
      {ssoParStop | ssoDelStop | ssoCollapsible, (1 << 27) - 1},
      {ssoCollapsible, -(1 << 27)},
  };
  TStartStopKeyList list;
  for (const auto& [options, extra] : cases) {
    const int32_t i = Add(list, u"s", u"e", woWholeWordsOnly, options.testFlag(ssoParStop));
    list.Entry(i).ssOptions = options;
    list.Entry(i).Extra = extra;
    list.Entry(i).Scope = 100000 + i;
    list.Entry(i).Priority = -i;
  }
  TStartStopKeyList back;
  ReadList(back, WriteList(list));
  ASSERT_EQ(back.Count(), list.Count());
  for (int32_t i = 0; i < list.Count(); ++i) {
    const StartStopInfo& a = list.Entry(i);
    const StartStopInfo& b = back.Entry(i);
    EXPECT_EQ(b.ssOptions, a.ssOptions) << i;
    EXPECT_EQ(std::make_tuple(b.Extra, b.Scope, b.Priority), std::make_tuple(a.Extra, a.Scope, a.Priority)) << i;
    EXPECT_EQ(b.Attributes, a.Attributes) << i;
    EXPECT_EQ(b.Previous, a.Previous) << i;
  }
  EXPECT_EQ(back.CheckIntegrity(), QString());
}

TEST(StartStopKeyList, OlderLayoutAndLoneParagraphStopBitsRead) {
  TStartStopKeyList list;
  ReadList(list, Bytes({1,
                        // No marker, no scope: keys, six integers, Boolean.
                        6, 2, '/', '/', 6, 0, 2, 0, 2, 2, 2, 7, 2, 0, 2, 0, 2, 0, 9,
                        // No marker, scope and priority before the Boolean.
                        6, 1, '"', 6, 1, '"', 2, 1, 2, 0, 2, 3, 2, 0, 2, 0, 2, 0, 2, 5, 3, 0, 1, 8, 0}));
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Entry(0).StartKeyStr, QStringLiteral("//"));
  EXPECT_EQ(list.Entry(0).ssOptions, TssOptions(ssoParStop));
  EXPECT_EQ(list.Entry(0).Attributes.ContextNumber, 7);
  EXPECT_EQ(std::make_pair(list.Entry(1).Scope, list.Entry(1).Priority), std::make_pair(5, 256));
  EXPECT_EQ(list.Entry(1).ssOptions, TssOptions());

  // Marked: the Boolean says no paragraph stop, the packed value says one.
  TStartStopKeyList lone;
  ReadList(lone, Bytes({1, 6, 1, 'a', 6, 1, 'b', 3, 0x80, 0, 2, 0, 2, 1, 2, 0, 2, 0, 2, 0, 8, 2, 0, 2, 0, 2, 1, 0}));
  EXPECT_EQ(lone.Entry(0).ssOptions, TssOptions(ssoParStop));
  EXPECT_EQ(lone.LongestStopKey(), 2);
  EXPECT_EQ(lone.CheckIntegrity(), QString());
}

TEST(StartStopKeyList, BadBinaryStreamsRaiseAndLeaveAConsistentList) {
  TStartStopKeyList list;
  for (int i = 0; i < 3; ++i)
    Add(list, QStringLiteral("s%1").arg(i), QStringLiteral("e"), {}, i == 1);
  const QByteArray whole = WriteList(list);
  const qsizetype second = whole.indexOf("s1") - 5, third = whole.indexOf("s2") - 5;
  for (qsizetype n = 1; n < whole.size(); ++n) {
    TStartStopKeyList back;
    Add(back, u"previous", u"x");
    EXPECT_THROW(ReadList(back, whole.left(n)), EReadError) << n;
    EXPECT_EQ(back.Count(), n >= whole.size() - 1 ? 3 : n >= third ? 2 : n >= second ? 1 : 0) << n;
    EXPECT_EQ(back.CheckIntegrity(), QString()) << n;
  }
  const QByteArray wrongTyped[] = {
      Bytes({1, 6, 1, 'a', 2, 0, 0}),                                              // integer for the stop key
      Bytes({1, 6, 1, 'a', 6, 0, 2, 0, 2, 0, 2, 0, 2, 0, 2, 0, 2, 0, 6, 0, 0}),    // string for the Boolean
      Bytes({1, 6, 1, 'a', 6, 0, 2, 0, 2, 0, 2, 0, 2, 0, 2, 0, 2, 0, 2, 0, 9, 0}), // one integer, not two
  };
  for (const QByteArray& b : wrongTyped) {
    TStartStopKeyList back;
    EXPECT_THROW(ReadList(back, b), EReadError);
    EXPECT_EQ(back.Count(), 0);
  }
  EXPECT_THROW(ReadList(list, Bytes({2, 1})), EReadError);
  EXPECT_EQ(list.Count(), 3) << "a stream that is not a list clears nothing";
}

TEST(StartStopKeyList, DefinesTheKeysPropertyOnlyWhenItHasEntries) {
  TStartStopKeyList list;
  QByteArray bytes;
  QBuffer buf(&bytes);
  buf.open(QIODevice::ReadWrite);
  TWriter w(buf);
  list.DefineProperties(w);
  EXPECT_TRUE(bytes.isEmpty());
  Add(list, u"<", u">");
  list.DefineProperties(w);
  EXPECT_TRUE(bytes.startsWith(Bytes({4, 'K', 'e', 'y', 's', 1})));
  buf.seek(0);
  TReader r(buf);
  TStartStopKeyList back;
  EXPECT_TRUE(r.ReadProperty([&](TFiler& f) { back.DefineProperties(f); }));
  ASSERT_EQ(back.Count(), 1);
  EXPECT_EQ(back.Entry(0).StopKeyStr, QStringLiteral(">"));
}

} // namespace
} // namespace zarv
