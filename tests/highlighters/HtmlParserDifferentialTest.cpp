// The HTML highlighter against Python's html.parser on real pages found
// on this machine: every tag, comment, declaration and processing
// instruction the parser reports must begin where a markup state of the
// highlighter begins, and no other markup state may begin. Skipped
// without python3 or without such pages.
#include "HighlighterTestSupport.h"

#include <ZarvMemo/highlighters/HtmlHighlighter.h>

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

#include <set>
#include <utility>

using namespace zarv;
using namespace zarv::test;

namespace {

using TPlaces = std::set<std::pair<int32_t, int32_t>>; // line from 1, column from 0

const char* const kParser = R"(
import sys, html.parser
text = open(sys.argv[1], encoding='utf-8', errors='replace').read().replace('\r\n', '\n')
class P(html.parser.HTMLParser):
    def __init__(s): super().__init__(convert_charrefs=False)
    def at(s, *a): print(*s.getpos())
    handle_starttag = handle_endtag = handle_startendtag = at
    handle_comment = handle_decl = handle_pi = unknown_decl = at
p = P(); p.feed(text); p.close()
)";

TPlaces ParserPlaces(const QString& file) {
  QProcess python;
  python.start(QStringLiteral("python3"), {QStringLiteral("-c"), QString::fromLatin1(kParser), file});
  TPlaces places;
  if (!python.waitForFinished(60000) || python.exitCode() != 0)
    return places;
  for (const QByteArray& line : python.readAllStandardOutput().split('\n')) {
    const QList<QByteArray> f = line.split(' ');
    if (f.size() == 2)
      places.emplace(f[0].toInt(), f[1].toInt());
  }
  return places;
}

// Where markup begins: "<" of a tag, a comment, a "<?" block, a CDATA
// section, and the end marker of a script or style block.
TPlaces HighlighterPlaces(TZarvMemo& memo) {
  TPlaces places;
  for (int32_t p = 0; p < memo.Paragraphs().Count(); ++p)
    for (const DynInfoRec& d : GetDynArray(*memo.Paragraphs().Par(p))) {
      const int32_t c = DynToContext(d);
      const int level = DynToLevel(d);
      const int32_t key = level >= 0 ? int32_t(uint16_t(d.KeyIndex[level]) & 0x7FFF) : -1;
      if (c == THtmlHighlighter::kTagStart || c == THtmlHighlighter::kComment ||
          c == THtmlHighlighter::kProcessingBlock || (c == THtmlHighlighter::kTagName && d.SS.StartKlen > 0) ||
          (c == THtmlHighlighter::kRawContent && key == THtmlHighlighter::kCDataKey && d.SS.StartKlen > 0))
        places.emplace(p + 1, d.DynOffset);
    }
  return places;
}

} // namespace

TEST(HtmlParserDifferential, MarkupBeginsWhereThePythonParserSeesIt) {
  const char* const pages[] = {
      "/usr/share/doc/python3/python-policy.html",          "/usr/share/doc/libre2-9/syntax.html",
      "/usr/share/doc/libjs-underscore/index.html",         "/usr/share/doc/zlib1g-dev/examples/zlib_how.html",
      "/usr/share/doc/libreoffice-common/access2base.html",
  };
  int compared = 0;
  for (const char* page : pages) {
    QFile file(QString::fromLatin1(page));
    if (!file.open(QIODevice::ReadOnly))
      continue;
    const TPlaces expected = ParserPlaces(file.fileName());
    if (expected.empty())
      continue;
    QString text = QString::fromUtf8(file.readAll());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\n', QStringLiteral("\r\n"));
    THtmlHighlighter h;
    TZarvMemo memo;
    memo.setHighlighter(&h);
    memo.SetTextBuf(text);
    HighlightAll(memo);
    const TPlaces got = HighlighterPlaces(memo);
    memo.setHighlighter(nullptr);
    TPlaces missing, extra;
    std::set_difference(expected.begin(), expected.end(), got.begin(), got.end(),
                        std::inserter(missing, missing.end()));
    std::set_difference(got.begin(), got.end(), expected.begin(), expected.end(), std::inserter(extra, extra.end()));
    EXPECT_TRUE(missing.empty()) << page << ": first missed at line " << missing.begin()->first << ", column "
                                 << missing.begin()->second;
    EXPECT_TRUE(extra.empty()) << page << ": first extra at line " << extra.begin()->first << ", column "
                               << extra.begin()->second;
    ++compared;
  }
  if (compared == 0)
    GTEST_SKIP() << "no python3 or no HTML pages to compare with";
}
