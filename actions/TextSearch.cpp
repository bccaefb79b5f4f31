// Scanning a control's paragraphs for a text, and rewriting the paragraphs
// that hold it.
#include <ZarvMemo/actions/TextSearch.h>

#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/platform/Color.h>
#include <ZarvMemo/support/highlight/UpperCase.h>

#include <algorithm>
#include <string>
#include <string_view>

namespace zarv {

namespace {

// The searched key and how a paragraph's text is read for it.
struct TScan {
  TZarvMemo& M;
  std::u16string Key;
  bool MatchCase, WholeWord;

  TScan(TZarvMemo& m, const TzvSearchQuery& s)
      : M(m), Key(s.Text.toStdU16String()), MatchCase(s.MatchCase), WholeWord(s.WholeWord) {
    if (!MatchCase)
      zvUpperCaseBuf(M.getUpperCaseType(), Key.data(), int32_t(Key.size()));
  }
  std::u16string_view Text(int32_t p) {
    TParagraphsList& L = M.Paragraphs();
    const ParInfo& par = *L.Par(p);
    const int32_t len =
        p + 1 < L.Count() ? L.Par(p + 1)->StartOffset - par.StartOffset - 2 : L.fTextLen - par.StartOffset;
    const char16_t* t = MatchCase ? par.ParText : M.GetUpText(p);
    return t && len > 0 ? std::u16string_view(t, size_t(len)) : std::u16string_view();
  }
  bool Whole(std::u16string_view t, size_t pos) const {
    const TCharSet& d = M.fDelimiters;
    return (pos == 0 || d.test(zvChar(t[pos - 1]))) &&
           (pos + Key.size() == t.size() || d.test(zvChar(t[pos + Key.size()])));
  }
  // Matches of paragraph p starting at or after `lo` and ending at or
  // before `hi` (paragraph offsets), appended as text offsets.
  void Collect(int32_t p, int32_t base, int32_t lo, int32_t hi, std::vector<int32_t>& out) {
    const std::u16string_view t = Text(p);
    size_t pos = t.find(Key, size_t(std::max(lo, 0)));
    while (pos != std::u16string_view::npos && int64_t(pos + Key.size()) <= hi) {
      if (!WholeWord || Whole(t, pos)) {
        out.push_back(base + int32_t(pos));
        pos = t.find(Key, pos + Key.size());
      } else {
        pos = t.find(Key, pos + 1);
      }
    }
  }
};

// A paragraph an edit over several paragraphs may make anew: no colours,
// wrapping as usual, in no collapsible block.
bool Plain(TZarvMemo& m, int32_t p) {
  return m.getParBackgnd(p) == clDefault && m.getParForegnd(p) == clDefault && m.getParWrapable(p) &&
         m.GetBlocksStates(p).empty();
}

} // namespace

std::vector<int32_t> TzvTextSearch::Matches(TZarvMemo& Memo, const TzvSearchQuery& Query, int32_t From, int32_t To) {
  std::vector<int32_t> out;
  From = std::clamp(From, 0, Memo.getCharCount());
  To = std::clamp(To, From, Memo.getCharCount());
  if (Query.Text.isEmpty() || From == To)
    return out;
  TScan scan(Memo, Query);
  const int32_t first = Memo.GetParFromOffset(From), last = Memo.GetParFromOffset(To);
  for (int32_t p = first; p <= last; ++p) {
    const int32_t base = Memo.getParsOffset(p);
    scan.Collect(p, base, From - base, To - base, out);
  }
  return out;
}

bool TzvTextSearch::SelectionMatches(TZarvMemo& Memo, const TzvSearchQuery& Query, bool ExactCase) {
  const int32_t len = std::abs(Memo.getSelLength());
  if (Query.Text.isEmpty() || len != Query.Text.size())
    return false;
  const int32_t start = std::min(Memo.getSelStart(), Memo.getSelStart() + Memo.getSelLength());
  TzvSearchQuery exact = Query;
  if (ExactCase)
    exact.MatchCase = true;
  const std::vector<int32_t> found = Matches(Memo, exact, start, start + len);
  return found.size() == 1 && found[0] == start;
}

int32_t TzvTextSearch::ReplaceAll(TZarvMemo& Memo, const TzvSearchQuery& Query, const QString& Replacement,
                                  int32_t From, int32_t To) {
  const std::vector<int32_t> found = Matches(Memo, Query, From, To);
  if (found.empty())
    return 0;
  const int32_t klen = int32_t(Query.Text.size());
  const int32_t delta = int32_t(Replacement.size()) - klen;
  {
    TZarvMemo::TUpdateLock lock(Memo);
    // The matches go in a few pieces, front to back: each piece replaces
    // the text from its first match to the end of its last in one edit.
    // Going forward keeps the store's pending shift of later offsets cheap
    // (it only moves forward). Few pieces keep Undo, which runs them back
    // to front and so shifts the rest of the text once per piece, linear
    // too; a piece spans at most 1/64 of the matched range (64 K at least).
    // A piece crosses paragraph breaks only over plain paragraphs: an edit
    // over several paragraphs makes them anew, without their colours or
    // blocks, and Undo would not bring those back.
    const int64_t limit = std::max<int64_t>(64 * 1024, (int64_t(found.back()) - found.front()) / 64);
    int64_t shift = 0;
    size_t begin = 0;
    while (begin < found.size()) {
      const int32_t firstPar = Memo.GetParFromOffset(int32_t(found[begin] + shift));
      int32_t lastPar = firstPar;
      bool plain = Plain(Memo, firstPar);
      size_t end = begin + 1;
      while (end < found.size() && int64_t(found[end]) + klen - found[begin] <= limit) {
        const int32_t par = Memo.GetParFromOffset(int32_t(found[end] + shift));
        if (par != lastPar) {
          for (int32_t p = lastPar + 1; plain && p <= par; ++p)
            plain = Plain(Memo, p);
          if (!plain)
            break;
          lastPar = par;
        }
        ++end;
      }
      const int32_t spanStart = int32_t(found[begin] + shift), spanStop = int32_t(found[end - 1] + shift) + klen;
      const QString old = Memo.GetTextPart(spanStart, spanStop);
      QString span;
      span.reserve(old.size() + int32_t(end - begin) * std::max(delta, 0));
      int32_t at = 0;
      for (size_t i = begin; i < end; ++i) {
        const int32_t local = int32_t(found[i] + shift) - spanStart;
        span += QStringView(old).mid(at, local - at);
        span += Replacement;
        at = local + klen;
      }
      span += QStringView(old).mid(at);
      Memo.setSelStart(spanStart);
      Memo.setSelLength(spanStop - spanStart);
      Memo.SetSelTextBuf(span);
      shift += int64_t(end - begin) * delta;
      begin = end;
    }
    const int64_t caret = Query.Down ? int64_t(found.back()) + int64_t(found.size()) * delta + klen : found.front();
    Memo.setSelStart(int32_t(std::clamp<int64_t>(caret, 0, Memo.getCharCount())));
  }
  Memo.ScrollInView();
  return int32_t(found.size());
}

} // namespace zarv
