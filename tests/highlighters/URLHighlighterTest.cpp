// The URL highlighter: the spans it marks in real-world prose, hostile
// lines, edits against highlighting from scratch, which addresses a click
// may open, and its listener links.
#include "HighlighterTestSupport.h"

#include <ZarvMemo/export/ZarvToHTML.h>
#include <ZarvMemo/export/ZarvToRTF.h>
#include <ZarvMemo/highlighters/ExtHighlighter.h>
#include <ZarvMemo/highlighters/URLHighlighter.h>

#include <QMouseEvent>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <random>

using namespace zarv;
using namespace zarv::test;

namespace {

struct TMark {
  std::string Text;
  int Entry;
  bool operator==(const TMark&) const = default;
};
std::ostream& operator<<(std::ostream& os, const TMark& m) { return os << "[" << m.Text << "] " << m.Entry; }

// The addresses marked in paragraph p: maximal runs of one URL context.
std::vector<TMark> Marks(TZarvMemo& memo, const TURLHighlighter& h, int32_t p = 0) {
  std::vector<TMark> out;
  const QString line = ParText(*memo.Paragraphs().Par(p));
  int prev = -1;
  for (int32_t i = 0; i < line.size(); ++i) {
    const DynInfoRec d = RunAt(memo, p, i);
    const int k = DynToContext(d) - h.getBaseContext();
    const bool url = k >= 0 && k < TURLHighlighter::kEntryCount;
    if (url && (k != prev || (d.DynOffset == i && i > 0)))
      out.push_back({"", k});
    if (url)
      out.back().Text += char(line[i].unicode());
    prev = url ? k : -1;
  }
  return out;
}

std::vector<TMark> MarksOf(const QString& text) {
  TURLHighlighter h;
  TZarvMemo memo;
  memo.setHighlighter(&h);
  memo.SetTextBuf(text);
  HighlightAll(memo);
  EXPECT_TRUE(memo.Paragraphs().CheckIntegrity().isEmpty());
  std::vector<TMark> m = Marks(memo, h);
  memo.setHighlighter(nullptr);
  return m;
}

} // namespace

TEST(URLHighlighter, MarksTheSpanOfEachAddressFormInProse) {
  struct TCase {
    const char* Text;
    std::vector<TMark> Expected;
  };
  const TCase cases[] = {
      {"see http://example.com.", {{"http://example.com", 0}}},
      {"www.example.com, and", {{"www.example.com", 1}}},
      {"Ends a sentence: www.example.org/path...", {{"www.example.org/path", 1}}},
      {"(http://en.wikipedia.org/wiki/Foo)", {{"http://en.wikipedia.org/wiki/Foo", 0}}},
      {"http://en.wikipedia.org/wiki/Foo_(bar)", {{"http://en.wikipedia.org/wiki/Foo_", 0}}},
      {"mail me: john.doe@example.com; thanks", {{"john.doe@example.com", 3}}},
      {"<mailto:john@example.com>", {{"mailto:john@example.com", 2}}},
      {"news:comp.lang.c++", {{"news:comp.lang.c++", 4}}},
      {"nntp://news.example.com/comp.lang", {{"nntp://news.example.com/comp.lang", 5}}},
      {"get ftp://ftp.example.com/pub/file.tar.gz now", {{"ftp://ftp.example.com/pub/file.tar.gz", 6}}},
      {"ftp.example.com;", {{"ftp.example.com", 7}}},
      {"gopher://g.example gopher.example.org", {{"gopher://g.example", 8}, {"gopher.example.org", 9}}},
      {"telnet://host:23 tn3270://ibm wais://w prospero://p",
       {{"telnet://host:23", 10}, {"tn3270://ibm", 11}, {"wais://w", 12}, {"prospero://p", 13}}},
      {"https://[2001:db8::1]:8443/p?q=1&r=2#frag", {{"https://[2001:db8::1]:8443/p?q=1&r=2#frag", 14}}},
      {"open file:///etc/hosts, or file://C:/x.txt", {{"file:///etc/hosts", 15}, {"file://C:/x.txt", 15}}},
      {"http://localhost:8080/", {{"http://localhost:8080/", 0}}},
      {"\"http://example.com\" 'www.example.com'", {{"http://example.com", 0}, {"www.example.com", 1}}},
      {"HTTP://EXAMPLE.COM Www.Example.Com", {{"HTTP://EXAMPLE.COM", 0}, {"Www.Example.Com", 1}}},
      {"http://user:pw@host.example/", {{"http://user:pw@host.example/", 0}}},
      {"a@b x@", {{"a@b", 3}}},
      {"Visit www.a.com and ftp.b.org.", {{"www.a.com", 1}, {"ftp.b.org", 7}}},
      // Not addresses: a scheme inside a word or before a separator, an "@"
      // at the start or after a separator, bare paths, punctuation.
      {"xhttp://example.com", {}},
      {"http:// example", {}},
      {"@home and @ home", {}},
      {"C:\\path\\file.txt /usr/share/doc", {}},
      {"...,;", {}},
      {"www.", {}},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(MarksOf(QString::fromLatin1(c.Text)), c.Expected) << c.Text;
}

TEST(URLHighlighter, AddressesTakeTheLookOfTheirKindAndTheTextAfterKeepsItsOwn) {
  TURLHighlighter h;
  h.EmailURL()->setStyle(fsBold);
  TZarvMemo memo;
  memo.setHighlighter(&h);
  memo.SetTextBuf(QStringLiteral("a@b.c www.x.y tail"));
  HighlightAll(memo);
  const DynInfoRec mail = RunAt(memo, 0, 0), web = RunAt(memo, 0, 6), tail = RunAt(memo, 0, 15);
  EXPECT_EQ(mail.DynStyle, fsBold | dsHasLevel | dsHasAttrib);
  EXPECT_EQ(mail.Foregnd, 0x008000);
  EXPECT_EQ(web.DynStyle, fsUnderline | dsHasLevel | dsHasAttrib);
  EXPECT_EQ(web.Foregnd, 0xFF0000);
  EXPECT_EQ(web.Cursor, -21);
  EXPECT_EQ(web.SS.StartKlen, 7);
  EXPECT_EQ(DynToContext(tail), 0);
  memo.setHighlighter(nullptr);
}

// A 1 MB line of one hostile pattern highlights in one pass over the line:
// an address is cut at 65535 characters and the rest of its word starts
// nothing; a refused word is asked about once, not once per "@".
TEST(URLHighlighter, HostileLinesAreScannedOnce) {
  struct TCase {
    const char* Unit;
    bool Marked;
  };
  const TCase cases[] = {{"http://a", true}, {".", false}, {"@", true}, {"a@", true}};
  for (const TCase& c : cases) {
    TURLHighlighter h;
    int asked = 0;
    TZarvMemo memo;
    memo.setHighlighter(&h);
    QString text;
    while (text.size() < (1 << 20))
      text += QString::fromLatin1(c.Unit);
    memo.SetTextBuf(text);
    HighlightAll(memo);
    const TDynInfoArray& codes = GetDynArray(*memo.Paragraphs().Par(0));
    if (c.Marked) {
      ASSERT_EQ(codes.size(), 2u) << c.Unit;
      EXPECT_EQ(codes[0].DynOffset, 0);
      EXPECT_EQ(codes[1].DynOffset, TURLHighlighter::kMaxURLLength);
    } else {
      EXPECT_TRUE(codes.empty()) << c.Unit;
    }
    h.OnURL = [&asked](TURLHighlighter&, int16_t, TURLHighlighter::TURLType) { return ++asked, false; };
    HighlightAll(memo);
    EXPECT_EQ(asked, c.Marked ? 1 : 0) << c.Unit;
    EXPECT_TRUE(GetDynArray(*memo.Paragraphs().Par(0)).empty());
    memo.setHighlighter(nullptr);
  }
}

TEST(URLHighlighter, EditsThatSplitAndJoinAddressesMatchHighlightingFromScratch) {
  std::mt19937 rng(qEnvironmentVariableIsSet("ZARV_SEED") ? qEnvironmentVariableIntValue("ZARV_SEED") : 33);
  const char* pieces[] = {"http://", "www.",    "a",    "@", ".", " ", ",", "(",  ")", "x.com",
                          "\r\n",    "mailto:", "ftp.", "b", ";", "/", "'", "/*", "*/"};
  auto piece = [&] { return QString::fromLatin1(pieces[rng() % std::size(pieces)]); };
  for (const bool priority : {false, true}) {
    TURLHighlighter h;
    h.setPriority(priority);
    TZarvMemo memo, fresh;
    for (TZarvMemo* m : {&memo, &fresh})
      m->StartStopKeys().AddStartStopKey(QStringLiteral("/*"), QStringLiteral("*/"), woMatchCase, 0, 3, 0, clNone,
                                         clNone, false);
    memo.setHighlighter(&h);
    fresh.setHighlighter(&h);
    QString text;
    for (int i = 0; i < 30; ++i)
      text += piece();
    memo.SetTextBuf(text);
    HighlightAll(memo);
    for (int step = 0; step < 300; ++step) {
      const int32_t len = memo.Paragraphs().fTextLen;
      int32_t a = int32_t(rng() % uint32_t(len + 1)), b = int32_t(rng() % uint32_t(len + 1));
      if (a > b)
        std::swap(a, b);
      b = std::min(b, a + 3);
      const QString ins = rng() % 3 ? piece() : QString();
      // Never split a line break.
      const QString now = memo.GetTextContent();
      if ((a > 0 && now[a - 1] == u'\r') || (b > 0 && b < now.size() && now[b - 1] == u'\r'))
        continue;
      Edit(memo, a, b, ins);
      fresh.SetTextBuf(memo.GetTextContent());
      HighlightAll(fresh);
      ASSERT_EQ(CodesDiffer(memo, fresh), "") << "step " << step << " priority " << priority;
    }
    memo.setHighlighter(nullptr);
    fresh.setHighlighter(nullptr);
  }
}

TEST(URLHighlighter, InsideARangeOnlyWithPriorityAndCutWhereTheRangeEnds) {
  for (const bool priority : {false, true}) {
    TURLHighlighter h;
    h.setPriority(priority);
    TZarvMemo memo;
    memo.StartStopKeys().AddStartStopKey(QStringLiteral("/*"), QStringLiteral("*/"), woMatchCase, 0, 3, 0, clNone,
                                         clNone, false);
    memo.setHighlighter(&h);
    memo.SetTextBuf(QStringLiteral("/* http://x.com*/y www.z.org"));
    HighlightAll(memo);
    const std::vector<TMark> expected =
        priority ? std::vector<TMark>{{"http://x.com*/", 0}, {"www.z.org", 1}} : std::vector<TMark>{{"www.z.org", 1}};
    EXPECT_EQ(Marks(memo, h), expected);
    EXPECT_EQ(DynToContext(RunAt(memo, 0, 17)), 0) << "the range still ends before y";
    memo.setHighlighter(nullptr);
  }
}

TEST(URLHighlighter, OnlyWebMailAndNewsAddressesOpenWithoutTheApplicationsApproval) {
  struct TCase {
    const char* Url;
    int Handler; // 0: none, 1: approves, 2: refuses
    bool Opens;
  };
  const TCase cases[] = {
      {"http://example.com", 0, true},  {"https://example.com/x", 0, true},
      {"mailto:a@b.c", 0, true},        {"news:comp.lang", 0, true},
      {"nntp://h/g", 0, true},          {"ftp://h/f", 0, true},
      {"file:///etc/passwd", 0, false}, {"file:///etc/passwd", 1, true},
      {"telnet://host", 0, false},      {"javascript:alert(1)", 0, false},
      {"http://example.com", 2, false}, {"no scheme", 1, false},
      {"gopher://g.example", 1, true},
  };
  for (const TCase& c : cases) {
    TURLHighlighter h;
    QStringList opened;
    h.Opener = [&opened](const QUrl& u) { return opened << u.toString(), true; };
    if (c.Handler)
      h.OnURLLaunch = [&c](TURLHighlighter&, QString&) { return c.Handler == 1; };
    EXPECT_EQ(h.LaunchURL(QString::fromLatin1(c.Url)), c.Opens) << c.Url;
    EXPECT_EQ(opened.size(), c.Opens ? 1 : 0) << c.Url;
  }
}

TEST(URLHighlighter, AClickWithTheModifiersOpensTheAddressUnderTheCaretWithItsScheme) {
  TURLHighlighter h;
  h.LaunchModifiers = Qt::ControlModifier;
  QStringList opened;
  h.Opener = [&opened](const QUrl& u) { return opened << u.toString(), true; };
  TZarvMemo memo;
  memo.setHighlighter(&h);
  memo.SetTextBuf(QStringLiteral("x www.a.org b@c.de ftp.f.net file:///etc/hosts"));
  HighlightAll(memo);
  auto click = [&](int32_t pos, Qt::KeyboardModifiers mods) {
    memo.setSelStart(pos);
    QMouseEvent e(QEvent::MouseButtonRelease, QPointF(1, 1), QPointF(1, 1), Qt::LeftButton, Qt::NoButton, mods);
    memo.WinMsg.Event = &e;
    h.Notify(&memo, zveContext);
    memo.WinMsg.Event = nullptr;
  };
  click(4, Qt::NoModifier);
  EXPECT_TRUE(opened.isEmpty()) << "a plain click only moves the caret";
  click(4, Qt::ControlModifier);
  click(13, Qt::ControlModifier);
  click(18, Qt::ControlModifier); // just after the address
  click(20, Qt::ControlModifier);
  click(30, Qt::ControlModifier); // file: needs the application's approval
  click(0, Qt::ControlModifier);  // no address
  EXPECT_EQ(opened, QStringList({"http://www.a.org", "mailto:b@c.de", "mailto:b@c.de", "ftp://ftp.f.net"}));
  memo.setHighlighter(nullptr);
}

// With DblClickLaunch a click only arms the address: the release after a
// double click opens it, a key or another press disarms it.
TEST(URLHighlighter, DoubleClickLaunchWaitsForTheDoubleClicksRelease) {
  TURLHighlighter h;
  h.setDblClickLaunch(true);
  QStringList opened;
  h.Opener = [&opened](const QUrl& u) { return opened << u.toString(), true; };
  TZarvMemo memo;
  memo.setHighlighter(&h);
  memo.SetTextBuf(QStringLiteral("see www.a.org"));
  HighlightAll(memo);
  memo.setSelStart(6);
  auto send = [&](QEvent::Type type, TzvEvent what) {
    QMouseEvent e(type, QPointF(1, 1), QPointF(1, 1), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    memo.WinMsg.Event = &e;
    h.Notify(&memo, what);
    memo.WinMsg.Event = nullptr;
  };
  const IzvsNotify* me = &h;
  auto waiting = [&] { return std::count(memo.MsgList().begin(), memo.MsgList().end(), me) == 1; };
  send(QEvent::MouseButtonRelease, zveContext); // the first click
  EXPECT_TRUE(waiting());
  send(QEvent::MouseButtonRelease, zveMessage); // a release without a double click
  EXPECT_FALSE(waiting());
  EXPECT_TRUE(opened.isEmpty());
  send(QEvent::MouseButtonRelease, zveContext);
  send(QEvent::MouseButtonPress, zveMessage); // another press disarms
  EXPECT_FALSE(waiting());
  send(QEvent::MouseButtonRelease, zveContext);
  send(QEvent::MouseButtonDblClick, zveMessage);
  send(QEvent::MouseButtonRelease, zveMessage);
  EXPECT_EQ(opened, QStringList({"http://www.a.org"}));
  EXPECT_FALSE(waiting());
  memo.setHighlighter(nullptr);
}

// Serving several controls (one directly, one through a chain) leaves no
// listener behind when the highlighter goes, nor touches a control gone
// first.
TEST(URLHighlighter, LeavesEveryControlItListensToWhenItGoes) {
  auto h = std::make_unique<TURLHighlighter>();
  TExtHighlighter top;
  top.setSubHighlighter(h.get());
  TZarvMemo a, b;
  auto gone = std::make_unique<TZarvMemo>();
  a.setHighlighter(h.get());
  b.setHighlighter(&top);
  gone->setHighlighter(h.get());
  for (TZarvMemo* m : {&a, &b, gone.get()}) {
    m->SetTextBuf(QStringLiteral("see www.example.com"));
    HighlightAll(*m);
  }
  const IzvsNotify* me = h.get();
  auto listens = [me](const TZarvMemo& m) { return std::count(m.NotifyList().begin(), m.NotifyList().end(), me); };
  EXPECT_EQ(listens(a), 1);
  EXPECT_EQ(listens(b), 1);
  EXPECT_EQ(h->ServedControls().size(), 3u);
  gone.reset();
  EXPECT_EQ(h->ServedControls().size(), 2u);
  HighlightAll(a); // registering again adds nothing
  EXPECT_EQ(listens(a), 1);
  top.setSubHighlighter(nullptr);
  h.reset();
  EXPECT_EQ(listens(a), 0);
  EXPECT_EQ(listens(b), 0);
}

TEST(URLHighlighter, HtmlExportLinksTheMarkedAddresses) {
  TURLHighlighter h;
  TZarvMemo memo;
  memo.setHighlighter(&h);
  memo.SetTextBuf(QStringLiteral("see www.example.org/?a=1&b=2, or me@example.org. file:///tmp/x"));
  TZarvToHTML x;
  x.setZarvMemo(&memo);
  const QString html = x.getText();
  EXPECT_TRUE(html.contains(QStringLiteral("<A href=\"http://www.example.org/?a=1&amp;b=2\">"))) << qPrintable(html);
  EXPECT_TRUE(html.contains(QStringLiteral("<A href=\"mailto:me@example.org\">"))) << qPrintable(html);
  EXPECT_TRUE(html.contains(QStringLiteral("<A href=\"file:///tmp/x\">"))) << qPrintable(html);
  EXPECT_EQ(html.count(QStringLiteral("</A>")), 3);
  memo.setHighlighter(nullptr);
}

// RTF: each address is a HYPERLINK field whose result is the styled text;
// a reader (LibreOffice, when installed) turns the fields into links.
TEST(URLHighlighter, RtfExportLinksTheMarkedAddressesAndAReaderSeesTheLinks) {
  TURLHighlighter h;
  TZarvMemo memo;
  memo.setHighlighter(&h);
  memo.SetTextBuf(QStringLiteral("see www.example.org/?a=1&b={2}, or me@example.org.\r\nplain"));
  TZarvToRTF x;
  x.setZarvMemo(&memo);
  const QString rtf = x.getText();
  EXPECT_TRUE(rtf.contains(QStringLiteral("{\\field{\\*\\fldinst{HYPERLINK \"http://www.example.org/?a=1&b=\\{2\\}\"}}"
                                          "{\\fldrslt{")))
      << qPrintable(rtf);
  EXPECT_TRUE(rtf.contains(QStringLiteral("HYPERLINK \"mailto:me@example.org\"")));
  EXPECT_EQ(rtf.count(QStringLiteral("\\fldrslt")), 2);
  int depth = 0, lowest = 1;
  QString groups = rtf;
  groups.remove(QStringLiteral("\\{")).remove(QStringLiteral("\\}"));
  for (const QChar c : groups) {
    depth += c == u'{' ? 1 : c == u'}' ? -1 : 0;
    if (c == u'}')
      lowest = std::min(lowest, depth);
  }
  EXPECT_EQ(depth, 0);
  EXPECT_EQ(lowest, 0) << "no group closes before the document's";
  const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
  if (soffice.isEmpty())
    GTEST_SKIP() << "LibreOffice (soffice) is not installed";
  QTemporaryDir dir;
  x.SaveToFile(dir.filePath(QStringLiteral("links.rtf")));
  QProcess p;
  p.start(soffice, {QStringLiteral("-env:UserInstallation=file://") + dir.filePath(QStringLiteral("profile")),
                    QStringLiteral("--headless"), QStringLiteral("--convert-to"), QStringLiteral("html"),
                    QStringLiteral("--outdir"), dir.path(), dir.filePath(QStringLiteral("links.rtf"))});
  ASSERT_TRUE(p.waitForFinished(180000));
  QFile html(dir.filePath(QStringLiteral("links.html")));
  ASSERT_TRUE(html.open(QIODevice::ReadOnly));
  const QString read = QString::fromUtf8(html.readAll());
  // The reader writes the braces percent-encoded.
  EXPECT_TRUE(read.contains(QStringLiteral("href=\"http://www.example.org/?a=1&amp;b=%7B2%7D\""))) << qPrintable(read);
  EXPECT_TRUE(read.contains(QStringLiteral("<u>www.example.org/?a=1&amp;b={2}</u>"))) << qPrintable(read);
  EXPECT_TRUE(read.contains(QStringLiteral("href=\"mailto:me@example.org\""))) << qPrintable(read);
  memo.setHighlighter(nullptr);
}
