// A model test of the gutter: random edits, folds, unfolds and scrolls;
// after each, every row's number equals the line or paragraph index worked
// out from the store by a plain walk, and every bookmark stands on the
// paragraph a position model says (or is gone with its paragraph).
#include <ZarvMemo/gutter/ZarvGutter.h>
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/support/navigator/Navigator.h>

#include <QApplication>
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace zarv;

namespace {

struct TMode {
  const char* Name;
  bool Wrap;
  bool ParNumbers;
};

struct TRow {
  int32_t Par, Line;
};

// Every visible row, by a walk over all paragraphs (the oracle).
std::vector<TRow> RowsByWalk(const TParagraphsList& L) {
  std::vector<TRow> rows;
  for (int32_t p = 0; p < L.Count(); ++p) {
    const ParInfo& par = *L.Par(p);
    if (par.ParState & zvpHidden)
      continue;
    const int32_t shown = L.IsCollapsedBlockStart(p) ? 1 : GetLineCount(par);
    for (int32_t l = 0; l < shown; ++l)
      rows.push_back({p, l});
  }
  return rows;
}

int Breaks(const QString& s) { return int(s.count(QStringLiteral("\r\n"))); }

class GutterModel : public ::testing::TestWithParam<TMode> {
protected:
  void SetUp() override {
    memo = std::make_unique<TZarvMemo>();
    memo->setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 10));
    memo->setUpdateMode(umImmediate);
    memo->setScrollTime(0);
    memo->setFocusPolicy(Qt::NoFocus);
    memo->setWordWrap(GetParam().Wrap);
    memo->resize(300, 300);
    memo->show();
    gutter = std::make_unique<TZarvGutter>();
    gutter->setParagraphNumbers(GetParam().ParNumbers);
    gutter->setKeepBookmarks(false);
    gutter->setZarvMemo(memo.get());
  }
  QString randomText(int pars) {
    QString t;
    for (int i = 0; i < pars; ++i) {
      if (i)
        t += QStringLiteral("\r\n");
      t += QString(int(rng() % 90), QChar(u'a' + char16_t(rng() % 26)));
      if (rng() % 3 == 0)
        t += QStringLiteral(" word word word");
    }
    return t;
  }
  void checkRows() {
    const TParagraphsList& L = memo->Paragraphs();
    const std::vector<TRow> rows = RowsByWalk(L);
    ASSERT_EQ(gutter->RowCount(), int32_t(rows.size()));
    std::vector<int32_t> probe;
    const int32_t top = memo->getTopLine();
    for (int32_t r = top; r < top + 25 && r < int32_t(rows.size()); ++r)
      probe.push_back(r);
    for (int i = 0; i < 10 && !rows.empty(); ++i)
      probe.push_back(int32_t(rng() % rows.size()));
    for (int32_t r : probe) {
      QString want;
      if (GetParam().ParNumbers)
        want = rows[size_t(r)].Line == 0 ? QString::number(rows[size_t(r)].Par + 1) : QString();
      else
        want = QString::number(GetParam().Wrap ? r + 1 : rows[size_t(r)].Par + 1);
      ASSERT_EQ(gutter->NumberText(r).toStdString(), want.toStdString()) << "row " << r;
    }
  }
  void checkBookmarks() {
    const TParagraphsList& L = memo->Paragraphs();
    const std::vector<TRow> rows = RowsByWalk(L);
    for (int i = 0; i < 5; ++i) {
      TZarvNavigator* nav = gutter->getBookmarkList(i);
      if (expected[size_t(i)] < 0) {
        ASSERT_EQ(nav, nullptr) << "bookmark " << i << " should have gone with its paragraph";
        continue;
      }
      ASSERT_NE(nav, nullptr) << "bookmark " << i;
      ASSERT_EQ(nav->GetParNb(), expected[size_t(i)]) << "bookmark " << i;
      int32_t row = -1;
      for (size_t r = 0; r < rows.size(); ++r)
        if (rows[r].Par == nav->GetParNb() && rows[r].Line == nav->GetParLine())
          row = int32_t(r);
      ASSERT_EQ(gutter->BookmarkRow(i), row) << "bookmark " << i;
      if (row >= 0) {
        ASSERT_LE(gutter->GetBookmarkFromLine(row), i);
      }
    }
  }
  // Replaces [a, b) by t and moves the expected bookmark paragraphs as a
  // position moves: before the edit it stays, after it it shifts by the
  // breaks removed and added, at either end it goes to the edit's start (or
  // its new end when it sticks to the right); inside deleted text, or with
  // its whole paragraph deleted, it goes.
  void edit(int32_t a, int32_t b, const QString& t) {
    const TParagraphsList& L = memo->Paragraphs();
    const int bd = Breaks(memo->GetTextContent().mid(a, b - a)), bt = Breaks(t);
    for (int i = 0; i < 5; ++i) {
      int32_t& e = expected[size_t(i)];
      if (e < 0)
        continue;
      TZarvNavigator& nav = *gutter->getBookmarkList(i);
      const int32_t pos = nav.GetPos(), start = L.StartOffsetOf(e), len = GetParLength(*L.Par(e));
      const bool last = e == L.Count() - 1;
      if ((a < pos && pos < b) || (a <= start && b >= start + len + 2) || (last && a + 2 <= start && b >= start + len))
        e = -1, ++gone;
      else if (pos > b)
        e += bt - bd;
      else if (pos >= a)
        e = e - (pos == b ? bd : 0) + (nav.fAdjustRight ? bt : 0);
    }
    memo->setSelStart(a);
    memo->setSelLength(b - a);
    memo->SetSelTextBuf(t);
  }
  int32_t randomPos() {
    const TParagraphsList& L = memo->Paragraphs();
    const int32_t p = int32_t(rng() % L.Count());
    return L.StartOffsetOf(p) + int32_t(rng() % (GetParLength(*L.Par(p)) + 1));
  }

  std::mt19937 rng{12345};
  std::unique_ptr<TZarvMemo> memo;
  std::unique_ptr<TZarvGutter> gutter;
  std::array<int32_t, 5> expected{-1, -1, -1, -1, -1};
  int gone = 0;
};

} // namespace

TEST_P(GutterModel, NumbersAndBookmarksFollowEditsFoldsAndScrolls) {
  memo->SetTextBuf(randomText(150));
  QApplication::processEvents();
  const QString inserts[] = {QString(), QStringLiteral("x"), QStringLiteral("\r\n"), QStringLiteral("ab\r\ncd\r\n"),
                             QStringLiteral("a long inserted run of words that wraps somewhere")};
  int live = 0, folded = 0;
  for (int step = 0; step < 300; ++step) {
    SCOPED_TRACE(step);
    const TParagraphsList& L = memo->Paragraphs();
    switch (rng() % 7) {
    case 0:
    case 1: {
      int32_t a = randomPos(), b = a + int32_t(rng() % (rng() % 20 ? 40 : 3000));
      if (b < a)
        std::swap(a, b);
      // Whole positions only: never between the two characters of a break.
      memo->setSelStart(b);
      b = memo->getSelStart();
      // The text keeps its size: short texts get paragraphs back.
      edit(a, b, L.Count() < 100 ? randomText(1 + int(rng() % 20)) : inserts[rng() % std::size(inserts)]);
      break;
    }
    case 5: { // whole lines deleted, as a user deletes lines
      // Half of the time lines that start with a bookmark.
      const int32_t mark = expected[rng() % expected.size()];
      const int32_t p = mark >= 0 && rng() % 2 ? mark : int32_t(rng() % L.Count());
      const int32_t q = std::min(L.Count() - 1, p + 1 + int32_t(rng() % 3));
      if (q > p)
        edit(L.StartOffsetOf(p), L.StartOffsetOf(q), QString());
      break;
    }
    case 2: {
      const int32_t a = int32_t(rng() % L.Count());
      memo->MakeCollapsibleBlock(a, std::min(L.Count() - 1, a + 1 + int32_t(rng() % 20)));
      break;
    }
    case 3: {
      const int32_t p = int32_t(rng() % L.Count());
      const int level = 1 + int(rng() % 3);
      rng() % 2 ? memo->CollapseBlock(p, level) : memo->ExpandBlock(p, level);
      break;
    }
    case 4:
      memo->setTopLine(int32_t(rng() % std::max(1, L.fVisibleLineCount)));
      break;
    default: {
      const int i = int(rng() % 5);
      const int32_t p = int32_t(rng() % L.Count());
      gutter->BookmarkPos(L.StartOffsetOf(p), i);
      expected[size_t(i)] = p;
      break;
    }
    }
    ASSERT_EQ(L.CheckIntegrity().toStdString(), "");
    checkRows();
    checkBookmarks();
    if (HasFatalFailure())
      return;
    live += std::count_if(expected.begin(), expected.end(), [](int32_t e) { return e >= 0; });
    folded += memo->Paragraphs().fVisibleLineCount < memo->getTotalLineCount();
  }
  // The run must have met what it is about.
  EXPECT_GT(live, 300);
  EXPECT_GT(folded, 20);
  EXPECT_GT(gone, 5);
}

INSTANTIATE_TEST_SUITE_P(Modes, GutterModel,
                         ::testing::Values(TMode{"LinesWithoutWrap", false, false}, TMode{"LinesWithWrap", true, false},
                                           TMode{"ParagraphsWithWrap", true, true}),
                         [](const ::testing::TestParamInfo<TMode>& mode) { return std::string(mode.param.Name); });
