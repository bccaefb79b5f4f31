// Tests of the keyword list: folding in each upper-case mode, the derived
// summary data and the update bracket, Assign, the binary form (current and
// older layouts, bad streams) and the ini-strings form (exact lines, keys
// with "=", bad numbers).
#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/platform/FilerError.h>
#include <ZarvMemo/platform/StringList.h>
#include <ZarvMemo/platform/ValueFiler.h>
#include <ZarvMemo/support/highlight/KeywordList.h>

#include <QBuffer>
#include <gtest/gtest.h>

#include <initializer_list>
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

QByteArray WriteList(const TKeywordList& list) {
  QByteArray out;
  QBuffer buf(&out);
  buf.open(QIODevice::WriteOnly);
  TWriter w(buf);
  list.WriteData(w);
  return out;
}

void ReadList(TKeywordList& list, QByteArray bytes) {
  QBuffer buf(&bytes);
  buf.open(QIODevice::ReadOnly);
  TReader r(buf);
  list.ReadData(r);
}

void AddKw(TKeywordList& list, const QString& k, TWordOptions o = {}) {
  list.AddKeyWord(k, o, 0, 1, 0, clNone, clNone);
}

// Folds a..z and also turns '-' into '_', so that its use shows.
void DashFolding(char16_t* t) {
  for (; *t; ++t)
    *t = *t == u'-' ? u'_' : (*t >= u'a' && *t <= u'z' ? char16_t(*t - 32) : *t);
}

TEST(KeywordList, KeywordsAreSearchedUpperCasedInEachModeUnlessMatchCase) {
  struct Case {
    TzvUpperCase mode;
    TzvUpperCaseProc proc;
    TWordOptions options;
    const char16_t* keyword;
    const char16_t* trans;
  };
  const Case cases[] = {
      {zvuAscii, nullptr, {}, u"Begin", u"BEGIN"},
      {zvuAscii, nullptr, {}, u"caf\u00e9-\u00ff", u"CAF\u00e9-\u00ff"},
      {zvuAnsi, nullptr, {}, u"caf\u00e9-\u00ff", u"CAF\u00c9-\u0178"},
      {zvuAnsi, nullptr, {}, u"stra\u00dfe", u"STRA\u00dfE"}, // one unit in, one unit out
      {zvuAnsi, nullptr, woMatchCase, u"Begin", u"Begin"},
      {zvuUserDefined, &DashFolding, {}, u"end-if", u"END_IF"},
      {zvuUserDefined, nullptr, {}, u"end-if\u00e9", u"END-IF\u00e9"}, // no procedure: ASCII
  };
  for (const auto& c : cases) {
    UserUpperCaseProc = c.proc;
    TKeywordList list;
    list.setUpperCaseType(c.mode);
    AddKw(list, QString::fromUtf16(c.keyword), c.options);
    EXPECT_EQ(list.KeyInfoLen(0).KeywordTrans, QString::fromUtf16(c.trans)) << int(c.mode);
    EXPECT_EQ(list.KeyInfoLen(0).KeywordOrg, QString::fromUtf16(c.keyword));
    EXPECT_EQ(list.CheckIntegrity(), QString());
  }
  UserUpperCaseProc = nullptr;

  TKeywordList list;
  AddKw(list, QString::fromUtf16(u"\u00e9t\u00e9"));
  list.setUpperCaseType(zvuAnsi);
  EXPECT_EQ(list.KeyInfoLen(0).KeywordTrans, QString::fromUtf16(u"\u00c9T\u00c9")) << "refolded";
}

TEST(KeywordList, DerivedDataFollowsEveryChange) {
  TKeywordList list;
  EXPECT_EQ(list.GWOptions(), TWordOptions(woMatchCase));
  AddKw(list, QStringLiteral("ab"), woMatchCase | woFirstParWord);
  EXPECT_EQ(list.GWOptions(), woMatchCase | woFirstParWord);
  AddKw(list, QStringLiteral("abcdef"), woWholeWordsOnly | woStartPar);
  EXPECT_EQ(list.GWOptions(), TWordOptions(woFirstParWord)) << "one case-insensitive keyword; woStartPar not summed";
  AddKw(list, QStringLiteral("abc"), woMatchCase | woFirstNonBlank);
  EXPECT_EQ(list.LongestKeyword(), 6);
  list.Delete(1);
  EXPECT_EQ(list.GWOptions(), woMatchCase | woFirstParWord | woFirstNonBlank);
  EXPECT_EQ(list.LongestKeyword(), 3);
  list.setKeywords(0, QStringLiteral("abcdefgh"));
  EXPECT_EQ(list.LongestKeyword(), 8);
  EXPECT_EQ(list.CheckIntegrity(), QString());
  list.Clear();
  EXPECT_EQ(list.LongestKeyword(), 0);
}

TEST(KeywordList, InsideAnUpdateTheRebuildWaitsForTheOutermostEnd) {
  TKeywordList list;
  int changes = 0;
  list.OnChange = [&](TKeywordList&) { ++changes; };
  list.BeginUpdate();
  list.BeginUpdate();
  AddKw(list, QStringLiteral("while"));
  AddKw(list, QStringLiteral("do"));
  EXPECT_EQ(list.KeyInfoLen(0).KeywordTrans, QString()) << "not folded yet";
  EXPECT_EQ(list.LongestKeyword(), 0);
  list.EndUpdate();
  EXPECT_TRUE(list.Updating());
  list.EndUpdate();
  EXPECT_FALSE(list.Updating());
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(list.KeyInfoLen(0).KeywordTrans, QStringLiteral("WHILE"));
  EXPECT_EQ(list.LongestKeyword(), 5);
  EXPECT_EQ(list.CheckIntegrity(), QString());
}

TEST(KeywordList, StringListOperationsKeepOrDefaultTheAttributes) {
  TKeywordList list;
  list.Add(QStringLiteral("x"));
  EXPECT_EQ(list.getKeyInfo(0), (TKeywordInfo{{}, 0, 0, 0, clNone, clNone}));
  EXPECT_THROW(list.Insert(2, QStringLiteral("z")), ERangeError);
  list.setKeyInfo(0, TKeywordInfo{woWholeWordsOnly, fsBold, 9, -2, clRed, clBlue});
  list.getKeyList()[0]->Scope = 4;
  list.Put(0, QStringLiteral("new")); // renaming keeps everything
  EXPECT_EQ(list.getKeyInfo(0), (TKeywordInfo{woWholeWordsOnly, fsBold, 9, -2, clRed, clBlue}));
  EXPECT_EQ(list.KeyInfoLen(0).Scope, 4);
  EXPECT_EQ(list.KeyInfoLen(0).KeywordTrans, QStringLiteral("NEW"));
  list.setKeyInfo(0, TKeywordInfo{woMatchCase, fsItalic, 1, 0, clNone, clGreen});
  EXPECT_EQ(list.KeyInfoLen(0).Scope, 0) << "new attributes reset the reserved fields";
  EXPECT_EQ(list.KeyInfoLen(0).KeywordTrans, QStringLiteral("new"));
  list.Add(QStringLiteral("b"));
  list.Add(QStringLiteral("c"));
  list.Move(0, 2); // attributes move with their keyword
  list.Exchange(0, 1);
  EXPECT_EQ(list.ToStringList(), L({"c", "b", "new"}));
  EXPECT_EQ(list.getKeyInfo(2).Foregnd, clGreen);
  EXPECT_EQ(list.CheckIntegrity(), QString());
}

TEST(KeywordList, AssignCopiesEveryFieldFromAKeywordListAndOnlyStringsOtherwise) {
  TKeywordList src;
  src.AddKeyWord(QStringLiteral("for"), woWholeWordsOnly, fsBold, 3, 1, clRed, clNone);
  src.getKeyList()[0]->Priority = 7;
  src.getKeyList()[0]->Extra = -1;
  TKeywordList dst;
  dst.Add(QStringLiteral("gone"));
  dst.Assign(src);
  ASSERT_EQ(dst.GetCount(), 1);
  EXPECT_EQ(dst.getKeyInfo(0), src.getKeyInfo(0));
  EXPECT_EQ(dst.KeyInfoLen(0).Priority, 7);
  EXPECT_EQ(dst.KeyInfoLen(0).Extra, -1);
  EXPECT_NE(&dst.KeyInfoLen(0), &src.KeyInfoLen(0));

  dst.Assign(TStringList(L({"if", "then"})));
  EXPECT_EQ(dst.ToStringList(), L({"if", "then"}));
  EXPECT_EQ(dst.getKeyInfo(1), TKeywordInfo{});
  dst.Assign(dst);
  EXPECT_EQ(dst.GetCount(), 2) << "assigning to itself keeps the list";
  EXPECT_EQ(dst.CheckIntegrity(), QString());
}

// ---- Text form -----------------------------------------------------------------

TEST(KeywordList, IniLinesHoldTheAttributesAndLoadBackWithoutScopeAndPriority) {
  TKeywordList list;
  list.AddKeyWord(QStringLiteral("if"), woMatchCase | woWholeWordsOnly, fsBold, 5, 0, clNone, clNone);
  list.AddKeyWord(QStringLiteral("Else"), woFirstNonBlank, fsItalic | fsUnderline, -3, -21, clWindow, 0x00FF00);
  list.getKeyList()[1]->Scope = 2;
  list.getKeyList()[1]->Priority = -4;
  list.getKeyList()[1]->Extra = 99; // never written
  TStringList lines(L({"stale"}));
  list.SaveToIniStrings(lines);
  EXPECT_EQ(lines.ToStringList(), L({"if=3,1,5,0,536870911,536870911,0,0,", "Else=8,6,-3,-21,-16777211,65280,2,-4,"}));

  TKeywordList back;
  back.LoadFromIniStrings(lines);
  ASSERT_EQ(back.GetCount(), 2);
  EXPECT_EQ(back.getKeyInfo(1), list.getKeyInfo(1));
  EXPECT_EQ(back.KeyInfoLen(1).Scope, 0);
  EXPECT_EQ(back.KeyInfoLen(1).Priority, 0);
  EXPECT_EQ(back.KeyInfoLen(1).Extra, 0);
}

TEST(KeywordList, IniKeysMayBeginWithOrContainEqualsSigns) {
  TKeywordList list;
  list.LoadFromIniStrings(TStringList(L({"==1,0,1,0,536870911,536870911", "no separator", "", "=5"})));
  ASSERT_EQ(list.GetCount(), 1);
  EXPECT_EQ(list.Get(0), QStringLiteral("="));
  EXPECT_EQ(list.getKeyInfo(0).Options, TWordOptions(woMatchCase));

  for (const char* k : {":=", "==", "a=b", "x="})
    AddKw(list, QString::fromLatin1(k));
  TStringList lines;
  list.SaveToIniStrings(lines);
  TKeywordList back;
  back.LoadFromIniStrings(lines);
  EXPECT_EQ(back.ToStringList(), L({"=", ":=", "==", "a=b", "x="}));
  list.SaveToIniStrings(list); // the list as its own target
  EXPECT_EQ(list.ToStringList(), lines.ToStringList());
}

TEST(KeywordList, AMalformedIniNumberRaisesAConvertErrorAndKeepsEarlierLines) {
  const char* bad[] = {
      "k=1,0,1,0,536870911",              // five values: the sixth is missing
      "k=1,0,1,0,536870911,",             // the sixth is empty
      "k=1,0,x,0,536870911,536870911",    // a letter
      "k=1,0,1 ,0,536870911,536870911",   // trailing blank
      "k=1,0,0x10,0,536870911,536870911", // not decimal
      "k=1,0,1,0,4294967295,536870911",   // beyond 32 bits
      "k=1,0,1,0,-,536870911",            // a sign alone
  };
  for (const char* line : bad) {
    TKeywordList list;
    try {
      list.LoadFromIniStrings(
          TStringList(L({"first=0,0,1,0,0,0,", "second=1,0,2,0,0,0,", line, "after=0,0,1,0,0,0,"})));
      ADD_FAILURE() << line << ": accepted";
    } catch (const EConvertError& e) {
      EXPECT_TRUE(e.message().endsWith(QStringLiteral("is not a valid integer value"))) << line;
    }
    EXPECT_EQ(list.ToStringList(), L({"first", "second"})) << line;
    EXPECT_EQ(list.UpdateCount(), 0) << line;
    EXPECT_EQ(list.LongestKeyword(), 6) << "rebuilt when the bracket closed";
    EXPECT_EQ(list.CheckIntegrity(), QString());
  }
  TKeywordList list;
  list.LoadFromIniStrings(TStringList(L({"k=+1, 2,-2147483648,0,2147483647,-1"})));
  EXPECT_EQ(list.getKeyInfo(0), (TKeywordInfo{woMatchCase, 2, INT32_MIN, 0, INT32_MAX, -1}));
}

// ---- Binary form ---------------------------------------------------------------

TEST(KeywordList, BinaryFormIsTheMarkedLayoutAndRoundTripsEveryField) {
  TKeywordList list;
  list.AddKeyWord(QStringLiteral("if"), woMatchCase | woWholeWordsOnly, fsBold, 5, -2, clNone, 200);
  list.getKeyList()[0]->Scope = 1;
  list.getKeyList()[0]->Priority = 300;
  list.getKeyList()[0]->Extra = -1;
  EXPECT_EQ(WriteList(list), Bytes({1, 20,   2,    0,    0,    0,    'i',  'f', 3, 0x83, 0, // options 3 + 128
                                    2, 1,    2,    5,    2,    0xFE,                        // style, context, cursor -2
                                    4, 0xFF, 0xFF, 0xFF, 0x1F,                              // clNone
                                    3, 200,  0,                                             // foreground
                                    2, 1,    3,    0x2C, 0x01, 2,    0xFF, 0}));

  list.AddKeyWord(QString::fromUtf16(u"\u00fcber"), woFirstParWord | woStartPar, 0xFF, INT32_MIN, INT16_MIN,
                  clWindowText, clNone);
  list.AddKeyWord(QString(), {}, 0, 0, 0, 0, 0);
  list.getKeyList()[1]->Extra = INT32_MAX;
  TKeywordList back;
  ReadList(back, WriteList(list));
  ASSERT_EQ(back.GetCount(), 3);
  for (int i = 0; i < 3; ++i) {
    const TKeyInfoLen& a = list.KeyInfoLen(i);
    const TKeyInfoLen& b = back.KeyInfoLen(i);
    EXPECT_EQ(b.KeywordOrg, a.KeywordOrg);
    EXPECT_EQ(b.BasicPart, a.BasicPart);
    EXPECT_EQ(std::tie(b.Scope, b.Priority, b.Extra), std::tie(a.Scope, a.Priority, a.Extra));
  }
  EXPECT_EQ(back.CheckIntegrity(), QString());
}

TEST(KeywordList, OlderBinaryLayoutsRead) {
  // 8-bit strings, no marker; only the second entry carries scope and priority.
  TKeywordList list;
  ReadList(list, Bytes({1,   6,   5,   'b', 'e', 'g', 'i', 'n', 2, 2, 2,    1,    2, 1, 2, 0, 2, 0, 2, 0,    6,    3,
                        'e', 'n', 'd', 2,   3,   2,   0,   2,   2, 3, 0xFF, 0xFF, 2, 0, 2, 0, 2, 6, 4, 0x10, 0x27, 0,
                        0,   12,  2,   0,   0,   0,   'd', 'o', 2, 1, 2,    4,    2, 3, 2, 0, 2, 0, 2, 0,    0}));
  EXPECT_EQ(list.ToStringList(), L({"begin", "end", "do"}));
  EXPECT_EQ(list.getKeyInfo(0), (TKeywordInfo{woWholeWordsOnly, fsBold, 1, 0, 0, 0}));
  EXPECT_EQ(list.getKeyInfo(1), (TKeywordInfo{woMatchCase | woWholeWordsOnly, 0, 2, -1, 0, 0}));
  EXPECT_EQ(list.getKeyInfo(2).Style, fsUnderline);
  EXPECT_EQ(std::make_pair(list.KeyInfoLen(0).Scope, list.KeyInfoLen(0).Priority), std::make_pair(0, 0));
  EXPECT_EQ(std::make_pair(list.KeyInfoLen(1).Scope, list.KeyInfoLen(1).Priority), std::make_pair(6, 10000));
  EXPECT_EQ(std::make_pair(list.KeyInfoLen(2).Scope, list.KeyInfoLen(2).Priority), std::make_pair(0, 0));
}

TEST(KeywordList, BadBinaryStreamsRaiseAndLeaveAConsistentList) {
  TKeywordList list;
  for (int i = 0; i < 3; ++i)
    AddKw(list, QStringLiteral("kw%1").arg(i));
  const QByteArray whole = WriteList(list);
  const qsizetype second = whole.indexOf("kw1") - 5, third = whole.indexOf("kw2") - 5;
  for (qsizetype n = 1; n < whole.size(); ++n) {
    TKeywordList back;
    back.Add(QStringLiteral("previous"));
    EXPECT_THROW(ReadList(back, whole.left(n)), EReadError) << n;
    EXPECT_EQ(back.GetCount(), n >= whole.size() - 1 ? 3 : n >= third ? 2 : n >= second ? 1 : 0) << n;
    EXPECT_EQ(back.UpdateCount(), 0);
    EXPECT_EQ(back.CheckIntegrity(), QString()) << n;
  }
  const QByteArray wrongTyped[] = {
      Bytes({1, 2, 1, 0}),                                                         // an integer for the keyword
      Bytes({1, 6, 1, 'a', 2, 0, 2, 0, 2, 0, 2, 0, 2, 0, 9, 0}),                   // a Boolean for the foreground
      Bytes({1, 6, 1, 'a', 2, 0x80, 2, 0, 2, 0, 2, 0, 2, 0, 2, 0, 2, 0, 2, 0, 0}), // marked, Extra missing
  };
  for (const QByteArray& b : wrongTyped) {
    TKeywordList back;
    EXPECT_THROW(ReadList(back, b), EReadError);
    EXPECT_EQ(back.GetCount(), 0);
  }
  EXPECT_THROW(ReadList(list, Bytes({20, 0, 0, 0, 0})), EReadError);
  EXPECT_EQ(list.GetCount(), 3) << "a stream that is not a list clears nothing";
}

TEST(KeywordList, DefinesTheStringsPropertyOnlyWhenItHasEntries) {
  TKeywordList list;
  QByteArray bytes;
  QBuffer buf(&bytes);
  buf.open(QIODevice::ReadWrite);
  TWriter w(buf);
  list.DefineProperties(w);
  EXPECT_TRUE(bytes.isEmpty());
  list.Add(QStringLiteral("x"));
  list.DefineProperties(w);
  EXPECT_TRUE(bytes.startsWith(Bytes({7, 'S', 't', 'r', 'i', 'n', 'g', 's', 1})));
  buf.seek(0);
  TReader r(buf);
  TKeywordList back;
  EXPECT_TRUE(r.ReadProperty([&](TFiler& f) { back.DefineProperties(f); }));
  EXPECT_EQ(back.ToStringList(), L({"x"}));
}

} // namespace
} // namespace zarv
