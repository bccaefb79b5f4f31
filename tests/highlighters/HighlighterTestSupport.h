// Helpers of the highlighter tests: the category of every character, and
// re-highlighting after an edit the way the control does.
#pragma once

#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/support/highlight/HighlightPass.h>
#include <ZarvMemo/support/navigator/Navigator.h>
#include <ZarvMemo/support/store/ParagraphsList.h>
#include <ZarvMemo/support/store/StoreDump.h>

#include <functional>
#include <string>

namespace zarv::test {

// The run in force for the character at `off` of paragraph `p`.
inline DynInfoRec RunAt(TZarvMemo& memo, int32_t p, int32_t off) {
  TZarvNavigator n(&memo.Paragraphs());
  n.AttachMemo(&memo);
  n.SetParPos(p, off);
  n.RightOfDyn();
  return *n.GetpDynInfo();
}

// One character per text character of paragraph p, named by `name` from
// the run in force there.
inline std::string Runs(TZarvMemo& memo, int32_t p, const std::function<char(const DynInfoRec&)>& name) {
  std::string out;
  const int32_t len = GetParLength(*memo.Paragraphs().Par(p));
  for (int32_t off = 0; off < len; ++off)
    out += name(RunAt(memo, p, off));
  return out;
}

// Replaces text and re-highlights the touched paragraphs as the control
// does after an edit.
inline void Edit(TZarvMemo& memo, int32_t from, int32_t to, const QString& text) {
  TZarvNavigator a(&memo.Paragraphs()), b(&memo.Paragraphs());
  a.SetPos(from);
  b.SetPos(to);
  const std::u16string buf = text.toStdU16String();
  int32_t od, ld;
  bool dc;
  memo.Paragraphs().InsertBuf(buf.empty() ? nullptr : buf.c_str(), a, b, false, false, od, ld, dc);
  memo.DropUpText();
  HighlightParagraphs(memo, a.GetParNb(), b.GetParNb());
}

// Empty when both controls hold the same text, start records and codes;
// otherwise the first line where their dumps differ.
inline std::string CodesDiffer(TZarvMemo& a, TZarvMemo& b) {
  return FirstDifference(DumpStore(a.Paragraphs()), DumpStore(b.Paragraphs())).toStdString();
}

} // namespace zarv::test
