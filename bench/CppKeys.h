// The C++ highlighting the benchmarks share: the library's TCPPHighlighter
// (keywords and types, strings, line and block comments, directives,
// numbers), attached to the control as an application attaches it.
// CopyKeysToControl puts the same vocabulary into the control's own lists
// instead, for figures that compare the two ways.
#pragma once

#include <ZarvMemo/highlighters/CPPHighlighter.h>
#include <ZarvMemo/memo/ZarvMemo.h>

namespace zarv::bench {

// Context numbers of the highlighter's categories.
constexpr int32_t kKeywordContext = TCPPHighlighter::kKeywordContext;
constexpr int32_t kStringContext = TCPPHighlighter::kStringContext;
constexpr int32_t kCommentContext = TCPPHighlighter::kCommentContext;
constexpr int32_t kDirectiveContext = TCPPHighlighter::kDirectiveContext;
constexpr int32_t kNumberContext = TCPPHighlighter::kNumberContext;

// Attaches a C++ highlighter owned by the control; returns its keyword count.
inline int32_t SetUpKeys(TZarvMemo& memo) {
  auto* cpp = new TCPPHighlighter(&memo); // a child: it goes with the control
  memo.setHighlighter(cpp);
  return cpp->Keywords().GetCount();
}

// The highlighter's keywords and start-stop keys as the control's own
// lists (no highlighter attached); returns the keyword count.
inline int32_t CopyKeysToControl(TZarvMemo& memo) {
  const TCPPHighlighter cpp;
  {
    TKeywordList& kw = memo.Keywords();
    const TStrings::UpdateLock batch(kw);
    kw.Assign(cpp.Keywords());
  }
  TStartStopKeyList& ss = memo.StartStopKeys();
  for (int32_t i = 0; i < cpp.StartStopKeys().Count(); ++i) {
    const StartStopInfo& e = cpp.StartStopKeys().Entry(i);
    const TKeywordInfo& a = e.Attributes;
    ss.AddStartStopKey(e.StartKeyStr, e.StopKeyStr, a.Options, a.Style, a.ContextNumber, a.Cursor, a.Backgnd, a.Foregnd,
                       e.ssOptions.testFlag(ssoParStop));
  }
  return memo.Keywords().GetCount();
}

} // namespace zarv::bench
