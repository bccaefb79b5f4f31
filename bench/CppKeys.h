// The C++-like key set the highlighting and control benchmarks share:
// about 90 whole-word, match-case keywords and types, line and block
// comments, string and character literals.
#pragma once

#include <ZarvMemo/memo/ZarvMemo.h>

#include <string_view>

namespace zarv::bench {

// Context numbers the control would report for the runs.
constexpr int32_t kKeywordContext = 1;
constexpr int32_t kTypeContext = 2;
constexpr int32_t kLineCommentContext = 3;
constexpr int32_t kBlockCommentContext = 4;
constexpr int32_t kStringContext = 5;
constexpr int32_t kCharContext = 6;

constexpr std::string_view kKeywords[] = {"alignof",
                                          "break",
                                          "case",
                                          "catch",
                                          "class",
                                          "concept",
                                          "const",
                                          "constexpr",
                                          "const_cast",
                                          "continue",
                                          "decltype",
                                          "default",
                                          "delete",
                                          "do",
                                          "dynamic_cast",
                                          "else",
                                          "enum",
                                          "explicit",
                                          "extern",
                                          "false",
                                          "for",
                                          "friend",
                                          "if",
                                          "inline",
                                          "mutable",
                                          "namespace",
                                          "new",
                                          "noexcept",
                                          "nullptr",
                                          "operator",
                                          "private",
                                          "protected",
                                          "public",
                                          "reinterpret_cast",
                                          "requires",
                                          "return",
                                          "sizeof",
                                          "static",
                                          "static_assert",
                                          "static_cast",
                                          "struct",
                                          "switch",
                                          "template",
                                          "this",
                                          "thread_local",
                                          "throw",
                                          "true",
                                          "try",
                                          "typedef",
                                          "typeid",
                                          "typename",
                                          "union",
                                          "using",
                                          "virtual",
                                          "volatile",
                                          "while",
                                          "override",
                                          "final",
                                          "include",
                                          "define",
                                          "ifdef",
                                          "ifndef",
                                          "endif",
                                          "pragma"};

constexpr std::string_view kTypes[] = {"auto",     "bool",     "char",    "char16_t", "char32_t", "double",  "float",
                                       "int",      "long",     "short",   "signed",   "unsigned", "void",    "wchar_t",
                                       "size_t",   "int8_t",   "int16_t", "int32_t",  "int64_t",  "uint8_t", "uint16_t",
                                       "uint32_t", "uint64_t", "QString", "string",   "vector"};

// Fills the control's keyword and start-stop lists; returns the keyword count.
inline int32_t SetUpKeys(TZarvMemo& memo) {
  TKeywordList& kw = memo.Keywords();
  {
    const TStrings::UpdateLock batch(kw);
    for (std::string_view k : kKeywords)
      kw.AddKeyWord(QString::fromLatin1(k.data(), qsizetype(k.size())), woMatchCase | woWholeWordsOnly, fsBold,
                    kKeywordContext, 0, clNone, 0x00800000);
    for (std::string_view k : kTypes)
      kw.AddKeyWord(QString::fromLatin1(k.data(), qsizetype(k.size())), woMatchCase | woWholeWordsOnly, fsBold,
                    kTypeContext, 0, clNone, 0x00808000);
  }
  TStartStopKeyList& ss = memo.StartStopKeys();
  ss.AddStartStopKey(QStringLiteral("//"), QString(), woMatchCase, fsItalic, kLineCommentContext, 0, clNone, 0x00008000,
                     true);
  ss.AddStartStopKey(QStringLiteral("/*"), QStringLiteral("*/"), woMatchCase, fsItalic, kBlockCommentContext, 0, clNone,
                     0x00008000, false);
  // Literals end with their line when unterminated, as in C++.
  ss.AddStartStopKey(QStringLiteral("\""), QStringLiteral("\""), woMatchCase, 0, kStringContext, 0, clNone, 0x00000080,
                     true);
  ss.AddStartStopKey(QStringLiteral("'"), QStringLiteral("'"), woMatchCase, 0, kCharContext, 0, clNone, 0x00000080,
                     true);
  return kw.GetCount();
}

} // namespace zarv::bench
