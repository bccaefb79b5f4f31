// The C/C++ key set. Keywords are whole-word and match case; a line
// comment and unterminated literals end with their line, block comments
// run on across lines.
#include "CppSyntax.h"

#include <ZarvMemo/memo/ZarvMemo.h>

#include <QFileInfo>
#include <string_view>

namespace zarv::pad {

namespace {

// Context numbers the control reports for runs of each kind.
constexpr int32_t kKeywordContext = 1;
constexpr int32_t kTypeContext = 2;
constexpr int32_t kLineCommentContext = 3;
constexpr int32_t kBlockCommentContext = 4;
constexpr int32_t kStringContext = 5;
constexpr int32_t kCharContext = 6;

// Colours are 0x00BBGGRR, as the control's TColor takes them.
constexpr TColor kKeywordColor = 0x00800000; // navy
constexpr TColor kTypeColor = 0x00808000;    // teal
constexpr TColor kCommentColor = 0x00008000; // green
constexpr TColor kLiteralColor = 0x00000080; // maroon

constexpr std::string_view kKeywords[] = {"alignas",
                                          "alignof",
                                          "break",
                                          "case",
                                          "catch",
                                          "class",
                                          "concept",
                                          "const",
                                          "consteval",
                                          "constexpr",
                                          "constinit",
                                          "const_cast",
                                          "continue",
                                          "co_await",
                                          "co_return",
                                          "co_yield",
                                          "decltype",
                                          "default",
                                          "delete",
                                          "do",
                                          "dynamic_cast",
                                          "else",
                                          "enum",
                                          "explicit",
                                          "export",
                                          "extern",
                                          "false",
                                          "for",
                                          "friend",
                                          "goto",
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
                                          "register",
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
                                          "undef",
                                          "ifdef",
                                          "ifndef",
                                          "elif",
                                          "endif",
                                          "pragma",
                                          "defined"};

constexpr std::string_view kTypes[] = {"auto",    "bool",     "char",      "char8_t", "char16_t", "char32_t", "double",
                                       "float",   "int",      "long",      "short",   "signed",   "unsigned", "void",
                                       "wchar_t", "size_t",   "ptrdiff_t", "int8_t",  "int16_t",  "int32_t",  "int64_t",
                                       "uint8_t", "uint16_t", "uint32_t",  "uint64_t"};

QString Latin1(std::string_view s) { return QString::fromLatin1(s.data(), qsizetype(s.size())); }

} // namespace

bool IsCppFile(const QString& fileName) {
  static const QStringList suffixes = {QStringLiteral("c"),   QStringLiteral("cc"), QStringLiteral("cpp"),
                                       QStringLiteral("cxx"), QStringLiteral("h"),  QStringLiteral("hpp"),
                                       QStringLiteral("hh"),  QStringLiteral("inl")};
  return suffixes.contains(QFileInfo(fileName).suffix().toLower());
}

QString CppSeparators() { return QStringLiteral("\t\n\r !\"#$%&'()*+,-./:;<=>?@[\\]^`{|}~"); }

void SetUpCppKeys(TZarvMemo& memo) {
  // Start-stop keys first: filling the keyword list re-highlights the text,
  // and that pass should already see the comments and literals.
  TStartStopKeyList& ss = memo.StartStopKeys();
  if (ss.Count() == 0) {
    ss.AddStartStopKey(QStringLiteral("//"), QString(), woMatchCase, fsItalic, kLineCommentContext, 0, clNone,
                       kCommentColor, true);
    ss.AddStartStopKey(QStringLiteral("/*"), QStringLiteral("*/"), woMatchCase, fsItalic, kBlockCommentContext, 0,
                       clNone, kCommentColor, false);
    ss.AddStartStopKey(QStringLiteral("\""), QStringLiteral("\""), woMatchCase, 0, kStringContext, 0, clNone,
                       kLiteralColor, true);
    ss.AddStartStopKey(QStringLiteral("'"), QStringLiteral("'"), woMatchCase, 0, kCharContext, 0, clNone, kLiteralColor,
                       true);
  }
  TKeywordList& kw = memo.Keywords();
  if (kw.GetCount() > 0)
    return;
  const TStrings::UpdateLock batch(kw);
  for (std::string_view k : kKeywords)
    kw.AddKeyWord(Latin1(k), woMatchCase | woWholeWordsOnly, fsBold, kKeywordContext, 0, clNone, kKeywordColor);
  for (std::string_view k : kTypes)
    kw.AddKeyWord(Latin1(k), woMatchCase | woWholeWordsOnly, fsBold, kTypeContext, 0, clNone, kTypeColor);
}

} // namespace zarv::pad
