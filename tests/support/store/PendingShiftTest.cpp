// The store's pending shift: edits leave the start offsets and lines after
// them to be shifted as records are next read. A model of paragraph lengths
// checks that every reading stays exact while shifts of different edits,
// line changes and reads far and near interleave, and that the integrity
// check sees the pending state without applying it.
#include "support/store/StoreTestUtil.h"
#include <ZarvMemo/support/navigator/LinesList.h>

#include <random>
#include <vector>

using namespace zarv;
using namespace zarv::test;

TEST(PendingShift, ReadsStayExactWhileShiftsArePending) {
  std::mt19937 rng(17);
  std::u16string text;
  std::vector<int32_t> lens; // the model: paragraph lengths (every one a line)
  for (int i = 0; i < 5000; ++i) {
    lens.push_back(int32_t(rng() % 12));
    text += std::u16string(size_t(lens.back()), u'a') + (i + 1 < 5000 ? u"\r\n" : u"");
  }
  auto store = MakeStore(text);
  TParagraphsList& L = *store;
  std::vector<int32_t> extraLines(lens.size(), 0); // lines added by hand
  auto offsetOf = [&](int32_t p) {
    int64_t o = 0;
    for (int32_t i = 0; i < p; ++i)
      o += lens[size_t(i)] + 2;
    return int32_t(o);
  };
  auto lineOf = [&](int32_t p) {
    int32_t l = 0;
    for (int32_t i = 0; i < p; ++i)
      l += 1 + extraLines[size_t(i)];
    return l;
  };
  int pendingSeen = 0;
  for (int step = 0; step < 3000; ++step) {
    const int32_t p = int32_t(rng() % lens.size());
    const int kind = int(rng() % 10);
    if (kind < 6) { // type or delete inside one paragraph: the shift waits
      const int32_t at = offsetOf(p) + int32_t(rng() % uint32_t(lens[size_t(p)] + 1));
      if (kind < 4) {
        Replace(L, at, at, u"xy");
        lens[size_t(p)] += 2;
      } else if (lens[size_t(p)] > 0 && at < offsetOf(p) + lens[size_t(p)]) {
        Replace(L, at, at + 1, u"");
        lens[size_t(p)] -= 1;
      }
    } else if (kind < 8) { // a paragraph is wrapped into two lines
      TLinesList lines(L.Par(p));
      if (lines.GetCount() == 1 && lens[size_t(p)] >= 2) {
        LineInfo first = lines.GetItem(0), second = first;
        first.Stop = second.Start = lens[size_t(p)] / 2;
        lines.SetCount(2);
        lines.SetItem(0, first);
        lines.SetItem(1, second);
        L.UpdateLines(p + 1, 1);
        L.fTrueLineCount += 1;
        L.fVisibleLineCount += 1;
        extraLines[size_t(p)] = 1;
      }
    } else if (kind == 8) { // a read far away settles part of the store
      const int32_t q = int32_t(rng() % lens.size());
      ASSERT_EQ(L.Par(q)->StartOffset, offsetOf(q)) << "step " << step;
    } else { // a navigator placed by offset finds its paragraph
      const int32_t q = int32_t(rng() % lens.size());
      TZarvNavigator n(&L);
      n.SetPos(offsetOf(q) + lens[size_t(q)] / 2);
      ASSERT_EQ(n.GetParNb(), q) << "step " << step;
      ASSERT_EQ(n.GetOffset(), lens[size_t(q)] / 2) << "step " << step;
    }
    pendingSeen += L.ShiftFrom() < L.Count();
    const int32_t q = int32_t(rng() % lens.size());
    ASSERT_EQ(L.StartOffsetOf(q), offsetOf(q)) << "step " << step;
    ASSERT_EQ(L.StartLineOf(q), lineOf(q)) << "step " << step;
    if (step % 50 == 0) {
      // The integrity check reads the pending state as it is.
      const int32_t before = L.ShiftFrom();
      ASSERT_STORE_OK(L) << "step " << step;
      ASSERT_EQ(L.ShiftFrom(), before) << "checking applies nothing";
    }
  }
  EXPECT_GT(pendingSeen, 1000) << "shifts stayed pending between the steps";
  for (int32_t q = 0; q < L.Count(); ++q) {
    ASSERT_EQ(L.Par(q)->StartOffset, offsetOf(q));
    ASSERT_EQ(L.Par(q)->StartLine, lineOf(q));
  }
  EXPECT_EQ(L.ShiftFrom(), INT32_MAX) << "reading everything leaves nothing pending";
}
