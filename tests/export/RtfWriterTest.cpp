// The RTF writer: escaping of every kind of character, the character
// formats of style runs, and the document's shape whatever the text holds.
#include "ExportTestSupport.h"

#include <ZarvMemo/platform/Exceptions.h>

#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace zarv;
using namespace zarv::test;

namespace {

// Every byte is 7-bit ASCII and unescaped braces balance, never closing the
// document early.
void ExpectWellFormed(const QByteArray& rtf) {
  int depth = 0;
  for (qsizetype i = 0; i < rtf.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(rtf[i]);
    ASSERT_LT(c, 0x80) << "at " << i;
    if (c == '\\') {
      ++i; // the escaped character or the control word's first letter
      continue;
    }
    if (c == '{')
      ++depth;
    if (c == '}') {
      --depth;
      ASSERT_TRUE(depth > 0 || i >= rtf.size() - 3) << "document closed at " << i;
    }
  }
  EXPECT_EQ(depth, 0);
  EXPECT_TRUE(rtf.startsWith("{\\rtf1"));
}

// The paragraphs' lines, without the three header lines and the closing one.
QByteArray Body(const QByteArray& rtf) {
  QList<QByteArray> lines = rtf.split('\n');
  lines = lines.mid(3, lines.size() - 5);
  return lines.join('\n');
}

} // namespace

TEST(RtfWriter, EscapesEveryCharacterOutsidePrintableAsciiAndTheSyntaxCharacters) {
  const struct {
    QString text;
    const char* expected;
  } cases[] = {
      {QStringLiteral("plain text"), "plain text"},
      {QStringLiteral("a\\b{c}d"), "a\\\\b\\{c\\}d"},
      {QString(QChar(0xE9)), "\\u233?"},                              // Latin-1, once written as a raw byte
      {QString(QChar(0x5C5C)), "\\u23644?"},                          // low byte is a backslash
      {QString(QChar(0x7B7D)), "\\u31613?"},                          // low bytes are braces
      {QString(QChar(0x20AC)), "\\u8364?"},                           // the euro sign
      {QString(QChar(0xFFFD)), "\\u-3?"},                             // above 32767: signed
      {QString::fromUtf8("\xF0\x9F\x98\x80"), "\\u-10179?\\u-8704?"}, // a pair: both halves
      {QString(QChar(0xD800)) + u'x', "\\u-3?x"},                     // an unpaired high surrogate
      {u'x' + QString(QChar(0xDC00)), "x\\u-3?"},                     // an unpaired low surrogate
      {QString(QChar(0x1B)) + u'n', "\\u-3?n"},                       // a control character
      {QStringLiteral("a\tb"), "a\\tab b"},
  };
  for (const auto& c : cases) {
    auto m = MemoWith(QString());
    m->setParString(0, c.text); // as it is, NULs included
    ASSERT_EQ(m->getParString(0), c.text);
    const QByteArray rtf = Rtf(*m);
    ExpectWellFormed(rtf);
    const QByteArray body = Body(rtf);
    EXPECT_EQ(body, QByteArray(c.expected) + '\r') << qPrintable(c.text);
  }
}

TEST(RtfWriter, ParagraphsBecomeParsAndTheDocumentClosesOnce) {
  auto m = MemoWith(QStringLiteral("one\r\ntwo\r\n\r\nfour"));
  const QByteArray rtf = Rtf(*m);
  ExpectWellFormed(rtf);
  EXPECT_EQ(Body(rtf), QByteArray("one\r\n\\par two\r\n\\par \r\n\\par four\r"));
  EXPECT_TRUE(rtf.endsWith("four\r\n}\r\n"));
  EXPECT_FALSE(rtf.contains('\0'));
}

TEST(RtfWriter, ARunsStylesAndColoursBecomeItsCharacterFormat) {
  auto m = MemoWith(QStringLiteral("plain bold red"));
  m->SetDynStyle(6, 10, fsBold | fsItalic, false, 0, 0, clNone, clDefault, false);
  m->SetDynStyle(11, 14, fsUnderline, false, 0, 0, clYellow, clRed, false);
  const QByteArray rtf = Rtf(*m);
  ExpectWellFormed(rtf);
  // The colour table lists red and yellow once each.
  const QByteArray table = rtf.split('\n').at(2);
  const QList<QByteArray> entries = table.left(table.indexOf('}')).split(';');
  const qsizetype red = entries.indexOf("\\red255\\green0\\blue0");
  const qsizetype yellow = entries.indexOf("\\red255\\green255\\blue0");
  ASSERT_GE(red, 0);
  ASSERT_GE(yellow, 0);
  EXPECT_EQ(entries.count("\\red255\\green0\\blue0"), 1);
  const QByteArray body = Body(rtf);
  EXPECT_TRUE(body.contains("\\b\\i\\cf0 bold")) << body.constData();
  EXPECT_TRUE(body.contains("\\ul\\cf" + QByteArray::number(red) + "\\highlight" + QByteArray::number(yellow) + " red"))
      << body.constData();
  EXPECT_FALSE(body.contains("\\b\\i\\cf0 bold ")) << "the run ends at its last character";
}

TEST(RtfWriter, KeywordRunsAreExportedNotOnlyRanges) {
  // A loaded text is highlighted when its paragraphs are first needed: by
  // painting, or by the exporter.
  auto m = MemoWith(QString());
  m->Keywords().AddKeyWord(QStringLiteral("int"), woMatchCase | woWholeWordsOnly, fsBold, 1, 0, clNone, clBlue);
  QBuffer file;
  file.setData("int x;\r\nint y;");
  file.open(QIODevice::ReadOnly);
  m->LoadFromStream(file);
  const QByteArray rtf = Rtf(*m);
  EXPECT_EQ(rtf.count("\\b\\cf"), 2) << rtf.constData();
}

TEST(RtfWriter, FontNamesAreEscapedInTheFontTable) {
  auto m = MemoWith(QString());
  m->setStaticFormat(true); // code 4 toggles the alternative font
  m->SetTextBuf(QStringLiteral("a\x04x\x04y"));
  QFont alt(QStringLiteral("No}Such{Font\\;"));
  m->setAltFont(alt);
  const QByteArray rtf = Rtf(*m);
  ExpectWellFormed(rtf);
  EXPECT_TRUE(rtf.contains("{\\f1\\fnil No\\}Such\\{Font\\\\;}")) << rtf.constData();
  EXPECT_TRUE(Body(rtf).contains("\\f1\\fs")) << rtf.constData();
  EXPECT_TRUE(Body(rtf).contains(" x\\plain\\f0")) << "the codes themselves are not written";
}

TEST(RtfWriter, SelectionAndStringOutputCoverOnlyTheRange) {
  auto m = MemoWith(QStringLiteral("abc\r\ndef"));
  TZarvToRTF x;
  x.setZarvMemo(m.get());
  m->setSelStart(2);
  m->setSelLength(5); // "c", the break, "de"
  const QString s = x.getSelection();
  EXPECT_TRUE(s.contains(QLatin1String("\r\nc\r\n\\par de\r\n}\r\n"))) << qPrintable(s);
  EXPECT_EQ(x.getText(), x.getRange(0, m->getCharCount()));
  TZarvToRTF none;
  EXPECT_TRUE(none.getText().isEmpty());
}

TEST(RtfWriter, EditingFromTheProgressHandlerStopsTheExportAndKeepsTheOldFile) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("out.rtf"));
  QString text;
  for (int i = 0; i < 2000; ++i)
    text += QStringLiteral("line %1\r\n").arg(i);
  auto m = MemoWith(text);
  m->setProgressInterval(0);
  {
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
  }
  TZarvToRTF x;
  x.setZarvMemo(m.get());
  int calls = 0;
  x.OnProgress = [&](TZarvToFormattedText&) {
    if (++calls == 3)
      m->SetTextBuf(QStringLiteral("other"));
  };
  EXPECT_THROW(x.SaveToFile(path), EZarvError);
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), QByteArray("old"));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1) << "no temporary file left";
}
