// ZarvPad marks addresses in every document (in C++ comments too), colours
// mail text by quote depth, and opens an address on Ctrl+click only.
#ifdef ZARVPAD_LINKED

#include "ZarvPadFixture.h"

#include <ZarvMemo/highlighters/CPPHighlighter.h>
#include <ZarvMemo/highlighters/EmailHighlighter.h>
#include <ZarvMemo/highlighters/URLHighlighter.h>
#include <ZarvMemo/support/highlight/HighlightPass.h>
#include <ZarvMemo/support/navigator/Navigator.h>

using namespace zarv;
using namespace zarv::pad;
using namespace zarv::pad::test;

namespace {

int32_t ContextAt(TZarvMemo& m, int32_t p, int32_t off) {
  m.DoDynParse(0, m.Paragraphs().Count() - 1, false);
  TZarvNavigator n(&m.Paragraphs());
  n.AttachMemo(&m);
  n.SetParPos(p, off);
  n.RightOfDyn();
  return DynToContext(*n.GetpDynInfo());
}

} // namespace

TEST_F(ZarvPadTest, AddressesAreMarkedAfterTheLanguageAndMailTextByQuoteDepth) {
  struct TCase {
    const char* Name;
    const char* Text;
    bool Mail;
  };
  const TCase cases[] = {{"a.cpp", "// see www.example.org\nint x;\n", false},
                         {"a.txt", "see www.example.org\n", false},
                         {"q.txt", "> see www.example.org\nreply\n", true},
                         {"m.eml", "Subject: hi\n\n>> see www.example.org\n", true}};
  for (const TCase& c : cases) {
    Open(QString::fromLatin1(c.Name), QByteArray(c.Text));
    auto* url = W().findChild<TURLHighlighter*>();
    ASSERT_NE(url, nullptr);
    TZarvHighlighter* top = M().Highlighter();
    if (c.Mail) {
      auto* mail = qobject_cast<TEmailHighlighter*>(top);
      ASSERT_NE(mail, nullptr) << c.Name;
      EXPECT_EQ(mail->getSubHighlighter(), url);
    } else if (QByteArray(c.Name).endsWith(".cpp")) {
      auto* cpp = qobject_cast<TCPPHighlighter*>(top);
      ASSERT_NE(cpp, nullptr);
      EXPECT_EQ(cpp->getSubHighlighter(), url);
    } else {
      EXPECT_EQ(top, url) << c.Name;
    }
    const int32_t p = QByteArray(c.Name).endsWith(".eml") ? 2 : 0;
    const int32_t at = int32_t(QString::fromLatin1(c.Text).section(u'\n', p, p).indexOf(QLatin1String("www")));
    EXPECT_EQ(ContextAt(M(), p, at + 2), url->getBaseContext() + 1) << c.Name;
  }
}

TEST_F(ZarvPadTest, CtrlClickOpensTheAddressAPlainClickDoesNot) {
  Open(QStringLiteral("a.txt"), QByteArray("www.example.org/some/long/path/to/click\n"));
  auto* url = W().findChild<TURLHighlighter*>();
  ASSERT_NE(url, nullptr);
  QStringList opened;
  url->Opener = [&opened](const QUrl& u) { return opened << u.toString(), true; };
  QWidget* view = M().viewport();
  const QPoint at(M().fLeftMargin + 30, M().fLineHeight / 2);
  QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, at);
  EXPECT_TRUE(opened.isEmpty());
  QTest::qWait(QApplication::doubleClickInterval() + 50); // not a double click
  QTest::mouseClick(view, Qt::LeftButton, Qt::ControlModifier, at);
  EXPECT_EQ(opened, QStringList({"http://www.example.org/some/long/path/to/click"}));
}

#endif
