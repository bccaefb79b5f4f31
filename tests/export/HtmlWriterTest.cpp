// The HTML writer: escaping, spaces and tabs, nesting of style tags, links,
// document and fragment shapes, and devices that fail.
#include "ExportTestSupport.h"

#include <ZarvMemo/export/StyledCopy.h>
#include <ZarvMemo/platform/Exceptions.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <gtest/gtest.h>

using namespace zarv;
using namespace zarv::test;

namespace {

// A device that takes Limit bytes and then refuses.
class TFailingDevice : public QIODevice {
public:
  explicit TFailingDevice(qint64 limit) : fLimit(limit) { open(WriteOnly); }
  qint64 Taken = 0;

protected:
  qint64 readData(char*, qint64) override { return -1; }
  qint64 writeData(const char*, qint64 n) override {
    if (Taken + n > fLimit) {
      setErrorString(QStringLiteral("disk full"));
      return -1;
    }
    Taken += n;
    return n;
  }

private:
  qint64 fLimit;
};

} // namespace

TEST(HtmlWriter, EscapesMarkupAndKeepsSpacesAndTabsBounded) {
  const struct {
    QString text;
    int tabStops;
    const char* expected;
  } cases[] = {
      {QStringLiteral("<script>&copy \"q\""), 8, "&lt;script&gt;&amp;copy &quot;q&quot;"},
      {QStringLiteral("a  b"), 8, "a&nbsp; b"},
      {QStringLiteral("a   b"), 8, "a&nbsp;&nbsp; b"},
      {QStringLiteral(" a "), 8, "&nbsp;a&nbsp;"}, // blanks at the ends would vanish
      {QStringLiteral("abc\td"), 8, "abc&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;d"},
      {QStringLiteral("\t"), 65535,
       "&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;"
       "&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;"
       "&nbsp;&nbsp;&nbsp;&nbsp;"},
      {QString(QChar(0x1B)) + QChar(0xD800) + u'x' + QChar(0xDC00), 8, "\xEF\xBF\xBD\xEF\xBF\xBDx\xEF\xBF\xBD"},
      {QString::fromUtf8("\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80"), 8, "\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80"},
  };
  for (const auto& c : cases) {
    auto m = MemoWith(QString());
    m->setParString(0, c.text); // as it is, NULs included
    m->setTabStops(c.tabStops);
    EXPECT_EQ(HtmlBody(Html(*m)), QString::fromUtf8(c.expected) + QStringLiteral("<BR>\r\n")) << qPrintable(c.text);
  }
}

TEST(HtmlWriter, StyleTagsNestAndOnlyChangedOnesCloseAndOpen) {
  auto m = MemoWith(QStringLiteral("aaBBCCdd"));
  m->SetDynStyle(2, 4, fsBold, false, 0, 0, clNone, clRed, false);
  m->SetDynStyle(4, 6, fsBold | fsItalic, false, 0, 0, clNone, clRed, false);
  m->SetDynStyle(6, 8, fsItalic, false, 0, 0, clNone, clBlue, false);
  EXPECT_EQ(HtmlBody(Html(*m)).toStdString(),
            QStringLiteral("aa<B><FONT STYLE=\"color: #FF0000\">BB<I>CC</I></FONT></B>"
                           "<I><FONT STYLE=\"color: #0000FF\">dd<BR>\r\n</FONT></I>\r\n")
                .toStdString());
}

TEST(HtmlWriter, LinksAreEscapedClippedAndNestOutsideStyles) {
  const QString text = QStringLiteral("see www.x.org/?a=1&b=\"2\" now");
  auto m = MemoWith(text);
  const int32_t a = int32_t(text.indexOf(u'w')), b = int32_t(text.indexOf(QLatin1String(" now")));
  m->SetDynStyle(a, b, fsUnderline, false, TZarvToHTML::UrlContextLow + 1, 0, clNone, clBlue, false);
  const QString body = HtmlBody(Html(*m));
  EXPECT_TRUE(
      body.contains(QStringLiteral("<A href=\"http://www.x.org/?a=1&amp;b=&quot;2&quot;\"><U><FONT "
                                   "STYLE=\"color: #0000FF\">www.x.org/?a=1&amp;b=&quot;2&quot;</FONT></U></A>")))
      << qPrintable(body);
  // A selection ending inside the address links only what it holds.
  TZarvToHTML x;
  x.setZarvMemo(m.get());
  const QString part = x.getRange(0, a + 5);
  EXPECT_TRUE(part.contains(QStringLiteral("<A href=\"http://www.x\">"))) << qPrintable(part);
  // Contexts outside the URL range, or with links off, are plain text.
  x.UrlsAsATags = false;
  EXPECT_FALSE(x.getText().contains(QLatin1String("<A ")));
}

TEST(HtmlWriter, DocumentFramingOnlyForTheWholeTextAndNeverInAFragment) {
  auto m = MemoWith(QStringLiteral("ab\r\ncd"));
  TZarvToHTML x;
  x.Title = QStringLiteral("<T&>");
  x.setZarvMemo(m.get());
  const QString whole = x.getText();
  EXPECT_TRUE(whole.startsWith(QLatin1String("<!DOCTYPE HTML PUBLIC")));
  EXPECT_TRUE(whole.contains(QLatin1String("<TITLE>&lt;T&amp;&gt;</TITLE>")));
  EXPECT_TRUE(whole.endsWith(QLatin1String("</DIV>\r\n</BODY>\r\n</HTML>\r\n")));
  m->setSelStart(1);
  m->setSelLength(4);
  const QString sel = x.getSelection();
  EXPECT_FALSE(sel.contains(QLatin1String("<HTML>")));
  EXPECT_TRUE(sel.contains(QLatin1String("<BODY")));
  EXPECT_TRUE(sel.endsWith(QLatin1String("</DIV>\r\n")));
  m->SelectAll();
  const QString fragment = QString::fromUtf8(x.FormatForClipboard());
  EXPECT_FALSE(fragment.contains(QLatin1String("<HTML>")) || fragment.contains(QLatin1String("<BODY")) ||
               fragment.contains(QLatin1String("DOCTYPE")));
  EXPECT_TRUE(fragment.contains(QLatin1String("ab<BR>\r\ncd<BR>")));
}

TEST(HtmlWriter, Utf16OutputWithAMarkAndUtf8WithoutOne) {
  auto m = MemoWith(QString::fromUtf8("\xE4\xB8\xAD"));
  TZarvToHTML x;
  const QByteArray u16 = Export(x, *m, false, true);
  ASSERT_TRUE(u16.startsWith("\xFF\xFE"));
  const QString decoded =
      QString::fromUtf16(reinterpret_cast<const char16_t*>(u16.constData() + 2), (u16.size() - 2) / 2);
  EXPECT_TRUE(decoded.contains(QString::fromUtf8("\xE4\xB8\xAD<BR>\r\n")));
  EXPECT_TRUE(decoded.contains(QLatin1String("charset=utf-16")));
  EXPECT_EQ(QString::fromUtf8(Export(x, *m, true, false)),
            x.getText().replace(
                QLatin1String("<TITLE>"),
                QLatin1String("<META http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\r\n<TITLE>")));
}

TEST(ExportOutput, AFailingDeviceStopsTheExportWithAClearError) {
  QString text;
  for (int i = 0; i < 20000; ++i)
    text += QStringLiteral("some text of a line %1\r\n").arg(i);
  auto m = MemoWith(text);
  for (TZarvToFormattedText* x : std::initializer_list<TZarvToFormattedText*>{new TZarvToRTF, new TZarvToHTML}) {
    std::unique_ptr<TZarvToFormattedText> owner(x);
    x->setZarvMemo(m.get());
    TFailingDevice device(100000);
    try {
      x->SaveToStream(device);
      ADD_FAILURE() << "no error";
    } catch (const EStreamError& e) {
      EXPECT_TRUE(e.message().contains(QLatin1String("disk full"))) << qPrintable(e.message());
    }
    EXPECT_LE(device.Taken, 100000);
  }
}

TEST(StyledCopy, CopyCarriesRtfAndHtmlBesideThePlainText) {
  auto m = MemoWith(QStringLiteral("int main"));
  m->SetDynStyle(0, 3, fsBold, false, 0, 0, clNone, clBlue, false);
  EnableStyledCopy(*m);
  EnableStyledCopy(*m);
  m->SelectAll();
  m->CopyToClipboard();
  const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
  ASSERT_NE(mime, nullptr);
  EXPECT_EQ(mime->text(), QStringLiteral("int main"));
  const QByteArray rtf = mime->data(QStringLiteral("text/rtf"));
  EXPECT_TRUE(rtf.startsWith("{\\rtf1") && rtf.contains("\\b\\cf")) << rtf.constData();
  EXPECT_TRUE(mime->html().contains(QLatin1String("<B><FONT STYLE=\"color: #0000FF\">int</FONT></B>")))
      << qPrintable(mime->html());
  // A column block stays plain: it is not one range of the text.
}
