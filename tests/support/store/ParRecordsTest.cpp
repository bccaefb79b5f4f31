// Tests of the paragraph record functions: when a compact record must switch
// to its extended form, how start records are shared and released, and the
// static-format and column helpers that read a paragraph's text.
#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/support/store/ParRecords.h>

#include <algorithm>
#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace zarv {
namespace {

// A paragraph record over text owned by the test. The destructor releases
// whatever the record functions attached to it (extended part, start record).
class ScratchPar {
public:
  explicit ScratchPar(std::u16string text = {}) : fText(std::move(text)) {
    fPar.ParText = fText.empty() ? nullptr : fText.data();
    fPar.Compact.ParLength = static_cast<uint16_t>(fText.size());
  }
  ~ScratchPar() { FreeParExtras(fPar); }
  ScratchPar(const ScratchPar&) = delete;
  ScratchPar& operator=(const ScratchPar&) = delete;

  ParInfo& par() { return fPar; }
  bool extended() const { return (fPar.ParState & zvpHasExtra) != 0; }

private:
  std::u16string fText;
  ParInfo fPar{};
};

DynInfoRec AttribRec(int32_t context) {
  DynInfoRec d;
  d.DynStyle = dsHasAttrib | fsBold;
  d.Context = context;
  d.Foregnd = clRed;
  return d;
}

// ---- Compact and extended forms ---------------------------------------------

TEST(ParRecords, LengthBelow65535StaysCompactAndFromThereOnIsExtended) {
  struct Case {
    int32_t length;
    bool extended;
  };
  for (const Case c : {Case{0, false}, Case{1, false}, Case{65534, false}, Case{65535, true}, Case{65536, true},
                       Case{10'000'000, true}}) {
    ScratchPar p;
    SetParLength(p.par(), c.length);
    EXPECT_EQ(p.extended(), c.extended) << c.length;
    EXPECT_EQ(GetParLength(p.par()), c.length);
  }
}

TEST(ParRecords, ExtendedRecordNeverReturnsToCompactWhenItsLengthShrinks) {
  ScratchPar p;
  SetParLength(p.par(), 70000);
  SetParLength(p.par(), 5);
  EXPECT_TRUE(p.extended());
  EXPECT_EQ(GetParLength(p.par()), 5);
}

TEST(ParRecords, SwitchingToExtendedCarriesOverTheCompactValues) {
  ScratchPar p(u"0123456789");
  p.par().Compact.LineWidth = 77;
  p.par().BlockState = zvbLevel1 | zvbStartBlock | zvbEndBlock;
  p.par().ParState = zvpFormatted | zvpNoWrap;
  SetParExtras(p.par());

  ASSERT_TRUE(p.extended());
  EXPECT_EQ(p.par().ParState, zvpHasExtra | zvpFormatted | zvpNoWrap);
  const ParExtraInfo& x = *p.par().ParExtra;
  EXPECT_EQ(x.Foregnd, clDefault);
  EXPECT_EQ(x.Backgnd, clDefault);
  EXPECT_EQ(x.ParLength, 10);
  EXPECT_EQ(x.FirstLine.Stop, 10);
  EXPECT_EQ(x.FirstLine.LineWidth, 77);
  EXPECT_EQ(x.FirstLine.TotalWidth, 77);
  EXPECT_EQ(x.FirstLine.JustifyStart, 10);
  EXPECT_EQ(x.StartDynAttrib, DefaultDynInfo());
  EXPECT_TRUE(x.Lines.empty());
  EXPECT_TRUE(x.DynCodes.empty());
  EXPECT_EQ(x.BlocksCollapsed, 0u);
  EXPECT_EQ(x.StartBlockCount, 1);
  EXPECT_EQ(x.StopBlockCount, 1);
  EXPECT_EQ(GetLineCount(p.par()), 1);
  EXPECT_EQ(zvsGetParBlockStartLevel(p.par()), 0);
  EXPECT_EQ(zvsGetParBlockEndLevel(p.par()), 0);

  ParExtraInfo* before = p.par().ParExtra;
  SetParExtras(p.par());
  EXPECT_EQ(p.par().ParExtra, before) << "extending twice must keep the existing part";
}

TEST(ParRecords, CompactFirstLineReadsBackAsOneLineCoveringTheParagraph) {
  ScratchPar p(u"hello");
  p.par().Compact.LineWidth = 40;
  const LineInfo l = GetFirstLine(p.par());
  EXPECT_EQ(l.Start, 0);
  EXPECT_EQ(l.Stop, 5);
  EXPECT_EQ(l.LineWidth, 40);
  EXPECT_EQ(l.TotalWidth, 40);
  EXPECT_EQ(l.TotalColumns, 5);
  EXPECT_EQ(l.Spaces, 0);
  EXPECT_EQ(l.JustifyStart, 5);
  EXPECT_EQ(l.StartAttrib, 0);
  EXPECT_EQ(l.StartDynNb, 0u);
  EXPECT_FALSE(l.Hidden);
}

TEST(ParRecords, SetFirstLineExtendsOnlyWhenTheLineDoesNotFitTheCompactForm) {
  struct Case {
    const char* what;
    int32_t stop, width, justifyStart;
    TZarvFontStyles attrib;
    bool extended;
  };
  const Case cases[] = {
      {"line covering the paragraph", 8, 500, 8, 0, false},        {"widest compact width", 8, 65535, 8, 0, false},
      {"justify start beyond the end", 8, 10, 100, 0, false},      {"width above 65535", 8, 65536, 8, 0, true},
      {"line ending before the paragraph end", 5, 10, 8, 0, true}, {"justified line", 8, 10, 3, 0, true},
      {"line starting in italics", 8, 10, 8, fsItalic, true},
  };
  for (const Case& c : cases) {
    ScratchPar p(u"abcdefgh");
    LineInfo l;
    l.Start = 0;
    l.Stop = c.stop;
    l.LineWidth = c.width;
    l.TotalWidth = c.width + 3;
    l.JustifyStart = c.justifyStart;
    l.StartAttrib = c.attrib;
    SetFirstLine(p.par(), l);
    EXPECT_EQ(p.extended(), c.extended) << c.what;
    const LineInfo back = GetFirstLine(p.par());
    EXPECT_EQ(back.Stop, c.stop) << c.what;
    EXPECT_EQ(back.LineWidth, c.width) << c.what;
    EXPECT_EQ(back.StartAttrib, c.attrib) << c.what;
    const int32_t kept = c.extended ? c.width + 3 : c.width; // a compact record keeps only the width
    EXPECT_EQ(back.TotalWidth, kept) << c.what;
  }
}

TEST(ParRecords, DynamicCodesExtendOnlyWhenThereAreAny) {
  ScratchPar p(u"abc");
  SetDynCount(p.par(), 0);
  SetParDyns(p.par(), {});
  EXPECT_FALSE(p.extended());
  EXPECT_EQ(GetDynCount(p.par()), 0);
  EXPECT_TRUE(GetDynArray(p.par()).empty());

  DynInfoRec code = AttribRec(3);
  code.DynOffset = 2;
  SetParDyns(p.par(), {code});
  EXPECT_TRUE(p.extended());
  ASSERT_EQ(GetDynCount(p.par()), 1);
  EXPECT_EQ(GetDynArray(p.par())[0].DynOffset, 2);
  EXPECT_EQ(GetDynArray(p.par())[0].Context, 3);

  ScratchPar q(u"abc");
  SetDynCount(q.par(), 2);
  EXPECT_TRUE(q.extended());
  EXPECT_EQ(GetDynCount(q.par()), 2);
  EXPECT_EQ(GetDynArray(q.par()).size(), 2u);
}

// The run in force at a character: codes at the character count, two codes
// at one offset leave the later one in force, before the first code the
// start record holds. Display lines read by number, refused out of range.
TEST(ParRecords, RunInForceAndDisplayLinesReadByPosition) {
  ScratchPar p(u"abcdef");
  DynInfoRec start = AttribRec(7);
  SetStartDynAttrib(p.par(), &start, true);
  DynInfoRec a = AttribRec(1), b = AttribRec(2), c = AttribRec(3);
  a.DynOffset = 2;
  b.DynOffset = c.DynOffset = 4;
  SetParDyns(p.par(), {a, b, c});
  const int32_t expected[] = {7, 7, 1, 1, 3, 3, 3};
  for (int32_t off = 0; off <= 6; ++off)
    EXPECT_EQ(GetDynInForce(p.par(), off).Context, expected[off]) << off;
  EXPECT_EQ(FirstDynAtOrAfter(GetDynArray(p.par()), 3), 1u);
  EXPECT_EQ(FirstDynAtOrAfter(GetDynArray(p.par()), 5), 3u);

  LineInfo first = GetFirstLine(p.par()), second;
  first.Stop = 3;
  second.Start = 3;
  second.Stop = 6;
  SetFirstLine(p.par(), first);
  p.par().ParExtra->Lines = {second};
  EXPECT_EQ(GetParLine(p.par(), 0).Stop, 3);
  EXPECT_EQ(GetParLine(p.par(), 1).Start, 3);
  EXPECT_THROW(GetParLine(p.par(), 2), ERangeError);
  EXPECT_THROW(GetParLine(p.par(), -1), ERangeError);
}

TEST(ParRecords, NoColourOnACompactRecordChangesNothing) {
  for (TColor c : {clDefault, clNone}) {
    ScratchPar p(u"x");
    zvsSetParForegnd(p.par(), c);
    zvsSetParBackgnd(p.par(), c);
    EXPECT_FALSE(p.extended()) << c;
    EXPECT_EQ(zvsGetParForegnd(p.par()), clDefault);
    EXPECT_EQ(zvsGetParBackgnd(p.par()), clDefault);
  }
}

TEST(ParRecords, AColourExtendsTheRecordAndReadsBack) {
  ScratchPar p(u"x");
  zvsSetParForegnd(p.par(), clBlack);
  EXPECT_TRUE(p.extended());
  EXPECT_EQ(zvsGetParForegnd(p.par()), clBlack);
  EXPECT_EQ(zvsGetParBackgnd(p.par()), clDefault);

  ScratchPar q(u"x");
  zvsSetParBackgnd(q.par(), clWindow);
  EXPECT_TRUE(q.extended());
  EXPECT_EQ(zvsGetParBackgnd(q.par()), clWindow);
  EXPECT_EQ(zvsGetParForegnd(q.par()), clDefault);
}

TEST(ParRecords, StartAttributeExtendsOnlyWhenNotEmpty) {
  ScratchPar p(u"abc");
  SetStartAttrib(p.par(), 0);
  EXPECT_FALSE(p.extended());
  EXPECT_EQ(GetStartAttrib(p.par()), 0);

  SetStartAttrib(p.par(), fsBold | fsAltFont);
  EXPECT_TRUE(p.extended());
  EXPECT_EQ(GetStartAttrib(p.par()), fsBold | fsAltFont);
  EXPECT_EQ(GetFirstLine(p.par()).StartAttrib, fsBold | fsAltFont);

  SetStartAttrib(p.par(), 0);
  EXPECT_EQ(GetStartAttrib(p.par()), 0) << "clearing on an extended record must store the empty set";
}

TEST(ParRecords, AttachedObjectExtendsAndReadsBack) {
  ScratchPar p(u"abc");
  EXPECT_EQ(zvsGetParObject(p.par()), nullptr);
  int token = 0;
  zvsSetParObject(p.par(), &token);
  EXPECT_TRUE(p.extended());
  EXPECT_EQ(zvsGetParObject(p.par()), &token);
}

// ---- Start records ------------------------------------------------------------

TEST(ParRecords, StartRecordWithoutAttributesFallsBackToTheDefaultAndStaysCompact) {
  const int64_t live = LiveStartRecords();
  ScratchPar p(u"abc");
  DynInfoRec plain;
  plain.DynStyle = fsBold; // bit 7 clear: ends a run, no attributes
  plain.Context = 9;
  SetStartDynAttrib(p.par(), &plain, true);
  EXPECT_FALSE(p.extended());
  EXPECT_EQ(GetStartDynAttrib(p.par()), DefaultDynInfo());
  SetStartDynAttrib(p.par(), nullptr, true);
  EXPECT_EQ(GetStartDynAttrib(p.par()), DefaultDynInfo());
  EXPECT_EQ(LiveStartRecords(), live);
}

TEST(ParRecords, StartRecordCopyIsCountedAndSharedByReference) {
  const int64_t live = LiveStartRecords();
  {
    ScratchPar a(u"a"), b(u"b"), c(u"c");
    DynInfoRec rec = AttribRec(42);
    SetStartDynAttrib(a.par(), &rec, true);
    EXPECT_TRUE(a.extended());
    DynInfoRec* shared = GetStartDynAttrib(a.par());
    ASSERT_NE(shared, &rec) << "makeCopy must store a heap copy, not the caller's record";
    ASSERT_NE(shared, DefaultDynInfo());
    EXPECT_EQ(shared->Context, 42);
    EXPECT_EQ(shared->Foregnd, clRed);
    EXPECT_EQ(shared->DynOffset, 1);
    EXPECT_EQ(LiveStartRecords(), live + 1);

    SetStartDynAttrib(b.par(), shared, false);
    SetStartDynAttrib(c.par(), shared, false);
    EXPECT_EQ(GetStartDynAttrib(b.par()), shared);
    EXPECT_EQ(shared->DynOffset, 3);
    EXPECT_EQ(LiveStartRecords(), live + 1);

    // Replacing a start record releases the old one.
    DynInfoRec other = AttribRec(7);
    SetStartDynAttrib(a.par(), &other, true);
    EXPECT_EQ(shared->DynOffset, 2);
    EXPECT_EQ(LiveStartRecords(), live + 2);
    SetStartDynAttrib(b.par(), nullptr, false);
    EXPECT_EQ(shared->DynOffset, 1);
    EXPECT_EQ(GetStartDynAttrib(b.par()), DefaultDynInfo());
  }
  EXPECT_EQ(LiveStartRecords(), live) << "freeing the records must release every start record";
}

TEST(ParRecords, RemoveRefFreesAHeapRecordAtZeroAndNeverTouchesTheDefault) {
  const int64_t live = LiveStartRecords();
  DynInfoRec* d = NewStartRecord(AttribRec(5));
  EXPECT_EQ(d->DynOffset, 0);
  EXPECT_EQ(LiveStartRecords(), live + 1);
  AddRef(d);
  AddRef(d);
  RemoveRef(d);
  EXPECT_EQ(LiveStartRecords(), live + 1);
  RemoveRef(d);
  EXPECT_EQ(LiveStartRecords(), live);

  for (int i = 0; i < 3; ++i) {
    RemoveRef(nullptr);
    RemoveRef(DefaultDynInfo());
    AddRef(DefaultDynInfo());
  }
  EXPECT_EQ(LiveStartRecords(), live);
  const DynInfoRec* def = DefaultDynInfo();
  EXPECT_EQ(def->DynOffset, 0);
  EXPECT_EQ(def->DynStyle, 0);
  EXPECT_EQ(def->Backgnd, clDefault);
  EXPECT_EQ(def->Foregnd, clDefault);
  EXPECT_EQ(def->Context, 0);
}

// ---- Static format helpers ------------------------------------------------------

TEST(ParRecords, XorStyleCodeTogglesTheBitOfEachCodeCharacter) {
  struct Case {
    char16_t code;
    TZarvFontStyles bit;
  };
  for (const Case c :
       {Case{1, fsItalic}, Case{2, fsBold}, Case{3, fsHighlight}, Case{4, fsAltFont}, Case{21, fsUnderline}}) {
    TZarvFontStyles s = fsStrikeOut;
    XORStyleCode(s, c.code);
    EXPECT_EQ(s, fsStrikeOut | c.bit) << int(c.code);
    XORStyleCode(s, c.code);
    EXPECT_EQ(s, fsStrikeOut) << int(c.code);
  }
  for (char16_t other :
       {u'\0', char16_t(5), char16_t(9), char16_t(13), char16_t(20), char16_t(22), u'A', u'\x0102', char16_t(0x0115)}) {
    TZarvFontStyles s = fsBold | fsUnderline;
    XORStyleCode(s, other);
    EXPECT_EQ(s, fsBold | fsUnderline) << int(other);
  }
}

TEST(ParRecords, StripCodesRemovesExactlyTheFiveCodeCharacters) {
  struct Case {
    std::u16string in, out;
  };
  const Case cases[] = {
      {u"", u""},
      {u"plain", u"plain"},
      {u"\x01\x02\x03\x04\x15", u""},
      {u"a\x02"
       u"b\x02"
       u"c",
       u"abc"},
      {u"\x05\x14\x16\t\x19\x01x", u"\x05\x14\x16\t\x19x"},
      {u"\x0115\x0102", u"\x0115\x0102"}, // high bytes of code values are not codes
  };
  for (const Case& c : cases)
    EXPECT_EQ(StripCodes(QString::fromStdU16String(c.in)).toStdU16String(), c.out);
}

// ---- Columns ---------------------------------------------------------------------

struct ColCase {
  const char16_t* text;
  int32_t tabSize;
  bool codes;
  int32_t offset; // OffsetToCol(offset) == col
  int32_t col;
};

TEST(ParRecords, OffsetToColExpandsTabsAndSkipsCodesWhenAsked) {
  const ColCase cases[] = {
      {u"abc", 4, false, 0, 0},
      {u"abc", 4, false, 3, 3},
      {u"\tab", 4, false, 1, 4},
      {u"\tab", 4, false, 3, 6},
      {u"a\tb", 4, false, 2, 4},
      {u"abcd\te", 4, false, 5, 8}, // a tab at a tab stop still advances a full stop
      {u"ab\t\tc", 3, false, 4, 6},
      {u"a\tb", 0, false, 2, 2}, // tab size 0: a tab is one column
      {u"\x02"
       u"ab\x02"
       u"c",
       4, true, 4, 2},
      {u"\x02"
       u"ab\x02"
       u"c",
       4, false, 4, 4},
      {u"\x15\t", 4, true, 2, 4}, // the code takes no column, so the tab still reaches 4
      {u"\x15\t", 4, false, 2, 4},
      {u"x\x05y", 4, true, 3, 3}, // other control characters are one column
  };
  for (const ColCase& c : cases) {
    ScratchPar p(c.text);
    EXPECT_EQ(OffsetToCol(p.par(), c.offset, c.tabSize, c.codes), c.col)
        << QString::fromStdU16String(c.text).toStdString() << " offset " << c.offset;
  }
}

TEST(ParRecords, ColToOffsetStopsBeforeACharacterThatWouldPassTheColumn) {
  struct Case {
    const char16_t* text;
    int32_t tabSize;
    bool codes;
    int32_t col, offset, extra;
  };
  const Case cases[] = {
      {u"abc", 4, false, 0, 0, 0},
      {u"abc", 4, false, 2, 2, 0},
      {u"abc", 4, false, 3, 3, 0},
      {u"abc", 4, false, 7, 3, 4}, // past the end: the rest is extra
      {u"\tab", 4, false, 1, 0, 1},
      {u"\tab", 4, false, 3, 0, 3}, // inside the tab: the tab's offset
      {u"\tab", 4, false, 4, 1, 0},
      {u"\tab", 4, false, 5, 2, 0},
      {u"a\tb", 4, false, 2, 1, 1},
      {u"a\tb", 8, false, 8, 2, 0},
      {u"a\tb", 0, false, 2, 2, 0},
      {u"\x02"
       u"ab\x02"
       u"c",
       4, true, 2, 3, 0},
      {u"\x02"
       u"ab\x02"
       u"c",
       4, true, 3, 5, 0},
      {u"\x02"
       u"ab\x02"
       u"c",
       4, false, 3, 3, 0},
      {u"\x02"
       u"ab\x02"
       u"c",
       4, true, 5, 5, 2},
      {u"", 4, false, 3, 0, 3},
  };
  for (const Case& c : cases) {
    ScratchPar p(c.text);
    const std::string what = QString::fromStdU16String(c.text).toStdString() + " col " + std::to_string(c.col);
    EXPECT_EQ(ColToOffset(p.par(), c.col, c.tabSize, c.codes), c.offset) << what;
    EXPECT_EQ(ColToExtra(p.par(), c.col, c.tabSize, c.codes), c.extra) << what;
  }
}

TEST(ParRecords, ColumnsAndOffsetsRoundTripAtEveryCharacterBoundary) {
  const std::u16string text = u"\tif (a)\t{\x02"
                              u"b\x02\t}\t\t;";
  ScratchPar p(text);
  for (int32_t tab : {0, 1, 2, 4, 8})
    for (bool codes : {false, true})
      for (int32_t off = 0; off <= static_cast<int32_t>(text.size()); ++off) {
        // A code character takes no column, so the offset after it shares
        // its column with the offset before it, which is where a column
        // leads back to; skip those.
        if (codes && off > 0 && IsStyleCode(text[off - 1]))
          continue;
        const int32_t col = OffsetToCol(p.par(), off, tab, codes);
        EXPECT_EQ(ColToOffset(p.par(), col, tab, codes), off) << "tab " << tab << " codes " << codes << " off " << off;
        EXPECT_EQ(ColToExtra(p.par(), col, tab, codes), 0);
      }
}

// ---- Fold state of one record ------------------------------------------------------

TEST(ParRecords, BlockStartAndEndLevelsFollowTheFlagsAndCounts) {
  struct Case {
    const char* what;
    TBlockStates state;
    uint8_t startCount, stopCount; // 0xFF: keep the record compact
    int startLevel, endLevel;
  };
  const Case cases[] = {
      {"outside every block", 0, 0xFF, 0xFF, 0, 0},
      {"inside one block", zvbLevel1, 0xFF, 0xFF, 1, 1},
      {"compact block start and end", zvbLevel1 | zvbStartBlock | zvbEndBlock, 0xFF, 0xFF, 0, 0},
      {"level 3, two blocks start", zvbLevel1 | zvbLevel2 | zvbStartBlock, 2, 0, 1, 3},
      {"level 3, all blocks end", zvbLevel1 | zvbLevel2 | zvbEndBlock, 0, 3, 3, 0},
      {"level 2, one starts and one ends", zvbLevel2 | zvbStartBlock | zvbEndBlock, 1, 1, 1, 1},
      {"counts without flags are ignored", zvbLevel4, 2, 2, 4, 4},
  };
  for (const Case& c : cases) {
    ScratchPar p(u"x");
    p.par().BlockState = c.state;
    if (c.startCount != 0xFF) {
      SetParExtras(p.par());
      p.par().ParExtra->StartBlockCount = c.startCount;
      p.par().ParExtra->StopBlockCount = c.stopCount;
    }
    EXPECT_EQ(zvsGetParBlockStartLevel(p.par()), c.startLevel) << c.what;
    EXPECT_EQ(zvsGetParBlockEndLevel(p.par()), c.endLevel) << c.what;
  }
}

TEST(ParRecords, SetParStartAndEndBlockStoreTheLevelInForceOutsideTheParagraph) {
  ScratchPar p(u"x");
  p.par().BlockState = zvbLevel1 | zvbLevel2; // level 3
  SetParExtras(p.par());                      // levels above 1 live in the extended form
  for (int level : {0, 1, 2}) {
    SetParStartBlock(p.par(), level);
    SetParEndBlock(p.par(), level);
    EXPECT_TRUE(p.par().BlockState & zvbStartBlock) << level;
    EXPECT_TRUE(p.par().BlockState & zvbEndBlock) << level;
    EXPECT_EQ(zvsGetParBlockStartLevel(p.par()), level);
    EXPECT_EQ(zvsGetParBlockEndLevel(p.par()), level);
    EXPECT_EQ(zvsGetParLevel(p.par()), 3) << "the level itself must not change";
  }
  for (int level : {3, 7}) {
    SetParStartBlock(p.par(), level);
    SetParEndBlock(p.par(), level);
    EXPECT_FALSE(p.par().BlockState & zvbStartBlock) << level;
    EXPECT_FALSE(p.par().BlockState & zvbEndBlock) << level;
    EXPECT_EQ(p.par().ParExtra->StartBlockCount, 0);
    EXPECT_EQ(p.par().ParExtra->StopBlockCount, 0);
    EXPECT_EQ(zvsGetParBlockStartLevel(p.par()), 3);
  }
}

TEST(ParRecords, CollapsedFlagsLiveInTheBlockStateForLevelOneAndInTheExtendedPartAbove) {
  ScratchPar p(u"x");
  p.par().BlockState = zvbLevel1;
  SetParCollapsed(p.par(), 1, true);
  EXPECT_FALSE(p.extended());
  EXPECT_TRUE(p.par().BlockState & zvbCollapsed);
  EXPECT_TRUE(zvsGetParCollapsed(p.par(), 1));
  EXPECT_FALSE(zvsGetParCollapsed(p.par(), 2));

  SetParCollapsed(p.par(), 4, true);
  EXPECT_TRUE(p.extended());
  EXPECT_EQ(zvsGetParBlocksCollapsed(p.par()), 1u << 2);
  EXPECT_TRUE(zvsGetParCollapsed(p.par(), 4));
  EXPECT_FALSE(zvsGetParCollapsed(p.par(), 0));
  EXPECT_FALSE(zvsGetParCollapsed(p.par(), 34));

  SetParCollapsed(p.par(), 1, false);
  EXPECT_FALSE(IsParCollapsedDownTo(p.par(), 3));
  EXPECT_TRUE(IsParCollapsedDownTo(p.par(), 4));
  EXPECT_TRUE(IsParCollapsedDownTo(p.par(), 9));
  SetParCollapsed(p.par(), 33, true);
  EXPECT_TRUE(zvsGetParCollapsed(p.par(), 33));
  EXPECT_EQ(zvsGetParBlocksCollapsed(p.par()), (1u << 2) | (1u << 31));
}

// ---- Text buffers ------------------------------------------------------------------

TEST(ParRecords, StringBuffersReportTheirCapacityAndKeepTextWhenResized) {
  char16_t* p = zvAllocStrBuf(100);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(zvStrBufSize(p), 100);
  const std::u16string text = u"keep me";
  std::copy(text.begin(), text.end() + 1, p);
  p = zvReallocStrBuf(p, 3000);
  EXPECT_EQ(zvStrBufSize(p), 3000);
  EXPECT_EQ(std::u16string(p), text);
  p = zvReallocStrBuf(p, 8);
  EXPECT_EQ(zvStrBufSize(p), 8);
  EXPECT_EQ(std::u16string(p), text);
  zvFreeStrBuf(p);
  zvFreeStrBuf(nullptr);
}

TEST(ParRecords, GrownCapacityAddsOneSixtyFourthAndRefusesTextTooLong) {
  struct Case {
    int64_t length, capacity;
  };
  for (const Case c : {Case{0, 1}, Case{63, 64}, Case{64, 66}, Case{6400, 6501}, Case{2'000'000'000, 2'031'250'001}})
    EXPECT_EQ(zvGrownCapacity(c.length), c.capacity) << c.length;

  for (int64_t tooLong :
       {int64_t{2'120'000'000}, int64_t{std::numeric_limits<int32_t>::max()}, int64_t{1} << 31, int64_t{1} << 40}) {
    try {
      zvGrownCapacity(tooLong);
      ADD_FAILURE() << tooLong << " must be refused";
    } catch (const ETextTooLong& e) {
      EXPECT_EQ(e.message(), QStringLiteral("Text too long"));
    }
  }
}

TEST(ParRecords, SmallStringHelpersHandleNilAndTheEnd) {
  const char16_t s[] = u"abcabc";
  EXPECT_EQ(zvStrScan(s, u'c'), s + 2);
  EXPECT_EQ(zvStrScan(s, u'z'), nullptr);
  EXPECT_EQ(zvStrScan(nullptr, u'a'), nullptr);
  EXPECT_EQ(zvStrLen(s), 6);
  EXPECT_EQ(zvChar(u'a'), 'a');
  EXPECT_EQ(zvChar(char16_t(254)), 254);
  EXPECT_EQ(zvChar(char16_t(255)), 255);
  EXPECT_EQ(zvChar(u'\x20AC'), 255);

  char16_t up[] = u"ab\x00e9z1";
  zvCharUpper(up);
  EXPECT_EQ(std::u16string(up), u"AB\x00c9Z1");
  zvCharUpper(nullptr);
}

} // namespace
} // namespace zarv
