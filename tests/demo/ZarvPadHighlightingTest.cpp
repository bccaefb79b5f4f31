// ZarvPad's highlighter follows the file type, shows its name in the
// status bar, and can be chosen from View > Highlighting until another
// document comes.
#ifdef ZARVPAD_LINKED

#include "ZarvPadFixture.h"

#include "HighlighterChoice.h"

#include <ZarvMemo/highlighters/CPPHighlighter.h>
#include <ZarvMemo/highlighters/HtmlHighlighter.h>
#include <ZarvMemo/highlighters/OOPHighlighter.h>
#include <ZarvMemo/highlighters/SQLHighlighter.h>

#include <QLabel>

using namespace zarv;
using namespace zarv::pad;
using namespace zarv::pad::test;

namespace {

// The highlighter's kind: its class, and for HTML whether it reads XML.
std::string Kind(const TZarvHighlighter* h) {
  if (!h)
    return "none";
  if (auto* html = qobject_cast<const THtmlHighlighter*>(h))
    return html->getXMLSyntax() ? "xml" : "html";
  return h->metaObject()->className();
}

} // namespace

TEST_F(ZarvPadTest, TheHighlighterFollowsTheFileTypeAndTheMenuOverridesIt) {
  struct TCase {
    const char* File;
    const char* Kind;
    const char* Shown;
  };
  const TCase cases[] = {
      {"unit.pas", "zarv::TOOPHighlighter", "Object Pascal"},
      {"PROJ.DPR", "zarv::TOOPHighlighter", "Object Pascal"},
      {"a.pp", "zarv::TOOPHighlighter", "Object Pascal"},
      {"defs.inc", "zarv::TOOPHighlighter", "Object Pascal"},
      {"q.sql", "zarv::TSQLHighlighter", "SQL"},
      {"page.html", "html", "HTML"},
      {"page.HTM", "html", "HTML"},
      {"data.xml", "xml", "XML"},
      {"doc.xhtml", "xml", "XML"},
      {"pic.svg", "xml", "XML"},
      {"main.cpp", "zarv::TCPPHighlighter", "C/C++"},
      {"notes.txt", "zarv::TURLHighlighter", "Plain Text"}, // links only
      {"Makefile", "zarv::TURLHighlighter", "Plain Text"},
  };
  auto* shown = W().findChild<QLabel*>(QStringLiteral("highlighting"));
  ASSERT_NE(shown, nullptr);
  for (const TCase& c : cases) {
    Open(QString::fromLatin1(c.File), "x\n");
    EXPECT_EQ(Kind(M().Highlighter()), c.Kind) << c.File;
    EXPECT_EQ(shown->text(), QString::fromLatin1(c.Shown)) << c.File;
  }
  // Chosen from the menu: kept while the document stays, also over a save
  // under a name of the same type; the next document goes by its type.
  Action(QStringLiteral("SQL"))->trigger();
  EXPECT_EQ(Kind(M().Highlighter()), "zarv::TSQLHighlighter");
  EXPECT_EQ(shown->text(), QStringLiteral("SQL"));
  ASSERT_TRUE(W().SaveTo(Path("other.txt"), M().TextFormat(), M().getLineBreak()));
  EXPECT_EQ(Kind(M().Highlighter()), "zarv::TSQLHighlighter");
  ASSERT_TRUE(W().SaveTo(Path("other.pas"), M().TextFormat(), M().getLineBreak()));
  EXPECT_EQ(Kind(M().Highlighter()), "zarv::TOOPHighlighter");
  Action(QStringLiteral("Plain Text"))->trigger();
  EXPECT_EQ(M().Highlighter(), nullptr);
  Action(QStringLiteral("By &File Type"))->trigger();
  EXPECT_EQ(Kind(M().Highlighter()), "zarv::TOOPHighlighter");
  Action(QStringLiteral("HTML"))->trigger();
  W().NewDocument();
  EXPECT_EQ(Kind(M().Highlighter()), "zarv::TURLHighlighter"); // a new document marks links

  EXPECT_EQ(shown->text(), QStringLiteral("Plain Text"));
}

#endif
