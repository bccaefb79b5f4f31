// Exported documents read by real consumers: LibreOffice opens the RTF
// (its plain-text and HTML conversions give back the text and the styles),
// and Python's html.parser reads the HTML with every tag nested. The tools
// are test-only; a test skips with a message where one is missing (CI
// installs them: scripts/setup-deps.sh --export-consumers).
#include "ExportTestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace zarv;
using namespace zarv::test;

namespace {

// Reads an HTML file and prints, as JSON, the nesting errors, the text
// shown (line breaks from <BR> and paragraph tags, &nbsp; as a space) and
// the bold/italic/colour of each character. Strict: every end tag must
// close the innermost open element.
const char* kHtmlReader = R"PY(
import sys, json, re
from html.parser import HTMLParser
VOID = {'br', 'basefont', 'meta', 'link', 'img', 'hr', 'col'}
class Reader(HTMLParser):
    def __init__(self, strict):
        super().__init__(convert_charrefs=True)
        self.strict, self.stack, self.errors, self.text, self.styles = strict, [], [], [], []
        self.started = not strict
        self.skip = 0
    def emit(self, s):
        for ch in s:
            b = any(t in ('b', 'strong') for t, a in self.stack)
            i = any(t in ('i', 'em') for t, a in self.stack)
            color = None
            for t, a in self.stack:
                if a.get('color'): color = a['color'].lower()
                for part in (a.get('style') or '').split(';'):
                    k, _, v = part.partition(':')
                    if k.strip() == 'color': color = v.strip().lower()
            self.text.append(ch); self.styles.append([b, i, color])
    def handle_starttag(self, tag, attrs):
        if tag == 'div': self.started = True
        if tag in ('title', 'style', 'head'): self.skip += 1
        if tag == 'br': self.emit('\n')
        if tag == 'p' and not self.strict and self.text: self.emit('\n')
        if tag not in VOID: self.stack.append((tag, dict(attrs)))
    def handle_endtag(self, tag):
        if tag in VOID: return
        if tag in ('title', 'style', 'head'): self.skip -= 1
        if self.stack and self.stack[-1][0] == tag: self.stack.pop(); return
        if self.strict: self.errors.append('unbalanced </%s> at %s' % (tag, self.getpos())); return
        while self.stack and self.stack[-1][0] != tag: self.stack.pop()
        if self.stack: self.stack.pop()
    def handle_data(self, d):
        if not self.started or self.skip: return
        d = d.replace('\r', '').replace('\n', '' if self.strict else ' ')
        if not self.strict: d = re.sub(' +', ' ', d)
        self.emit(d.replace('\xa0', ' '))
strict = sys.argv[2] == 'strict'
r = Reader(strict)
r.feed(open(sys.argv[1], encoding='utf-8').read()); r.close()
if strict and r.stack: r.errors.append('unclosed: %s' % [t for t, a in r.stack])
print(json.dumps({'errors': r.errors, 'text': ''.join(r.text), 'styles': r.styles}))
)PY";

QString Tool(const char* name) { return QStandardPaths::findExecutable(QString::fromLatin1(name)); }

QJsonObject ReadHtml(const QString& file, bool strict) {
  QProcess p;
  p.start(Tool("python3"), {QStringLiteral("-c"), QString::fromUtf8(kHtmlReader), file,
                            strict ? QStringLiteral("strict") : QStringLiteral("lenient")});
  p.waitForFinished(60000);
  const QByteArray out = p.readAllStandardOutput();
  EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
  return QJsonDocument::fromJson(out).object();
}

// The control's text as a reader shows it: paragraphs end with one line
// feed, trailing empty lines dropped.
QString Shown(const QString& s) {
  QString t = s;
  t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  if (t.startsWith(QChar(0xFEFF)))
    t.remove(0, 1);
  while (t.endsWith(u'\n'))
    t.chop(1);
  return t;
}

const QString kMixedText = QString::fromUtf8("ASCII: int main() { return 0; }\r\n"
                                             "Latin-1: d\xC3\xA9j\xC3\xA0 vu \xC2\xA9 \xC3\x9F\xC3\xBF\r\n"
                                             "CJK: \xE4\xB8\xAD\xE6\x96\x87\xE6\xB5\x8B\xE8\xAF\x95\r\n"
                                             "Emoji: \xF0\x9F\x98\x80 \xF0\x9F\x8E\x89\r\n"
                                             "Escapes: a\\b {c} \\par \\u66 <p> & \"q\"\r\n"
                                             "Euro \xE2\x82\xAC and dash \xE2\x80\x94 end");

// A run of known style: its text and what a reader should see on it.
struct TKnownRun {
  const char* word;
  TZarvFontStyles style;
  TColor fore;
  const char* colour; // as #rrggbb, or null for the default
};
const TKnownRun kRuns[] = {
    {"int", fsBold, clBlue, "#0000ff"},
    {"main", fsItalic, clDefault, nullptr},
    {"return", fsBold | fsItalic, clRed, "#ff0000"},
    {"\xE4\xB8\xAD\xE6\x96\x87", fsBold, clGreen, "#008000"},
};

std::unique_ptr<TZarvMemo> StyledMemo() {
  auto m = MemoWith(kMixedText);
  for (const TKnownRun& r : kRuns) {
    const QString w = QString::fromUtf8(r.word);
    const int32_t at = int32_t(kMixedText.indexOf(w));
    m->SetDynStyle(at, at + int32_t(w.size()), r.style, false, 0, 0, clNone, r.fore, false);
  }
  return m;
}

// Each known run's characters carry its bold, italic and colour in the
// reader's view of the text.
void ExpectRunsSurvive(const QJsonObject& doc, const char* reader) {
  const QString text = doc[QLatin1String("text")].toString();
  const QJsonArray styles = doc[QLatin1String("styles")].toArray();
  for (const TKnownRun& r : kRuns) {
    const QString w = QString::fromUtf8(r.word);
    const qsizetype at = text.indexOf(w);
    ASSERT_GE(at, 0) << reader << ": " << r.word;
    for (qsizetype k = at; k < at + w.size(); ++k) {
      const QJsonArray s = styles.at(k).toArray();
      EXPECT_EQ(s.at(0).toBool(), bool(r.style & fsBold)) << reader << ": " << r.word;
      EXPECT_EQ(s.at(1).toBool(), bool(r.style & fsItalic)) << reader << ": " << r.word;
      if (r.colour) {
        EXPECT_EQ(s.at(2).toString(), QLatin1String(r.colour)) << reader << ": " << r.word;
      }
    }
    // The character after the run is plain again.
    const QJsonArray after = styles.at(at + w.size()).toArray();
    EXPECT_FALSE(after.at(0).toBool() || after.at(1).toBool()) << reader << ": after " << r.word;
  }
}

} // namespace

TEST(ExportConsumers, PythonsHtmlParserReadsTheHtmlWithItsTextAndStyles) {
  if (Tool("python3").isEmpty())
    GTEST_SKIP() << "python3 is not installed";
  QTemporaryDir dir;
  auto m = StyledMemo();
  TZarvToHTML x;
  x.setZarvMemo(m.get());
  const QString file = dir.filePath(QStringLiteral("styled.html"));
  x.SaveToFile(file);
  const QJsonObject doc = ReadHtml(file, true);
  EXPECT_TRUE(doc[QLatin1String("errors")].toArray().isEmpty())
      << QJsonDocument(doc[QLatin1String("errors")].toArray()).toJson().constData();
  EXPECT_EQ(Shown(doc[QLatin1String("text")].toString()).toStdString(), Shown(kMixedText).toStdString());
  ExpectRunsSurvive(doc, "html.parser");
}

TEST(ExportConsumers, LibreOfficeReadsTheRtfWithItsTextAndStyles) {
  const QString soffice = Tool("soffice");
  if (soffice.isEmpty())
    GTEST_SKIP() << "LibreOffice (soffice) is not installed; scripts/setup-deps.sh --export-consumers installs it";
  if (Tool("python3").isEmpty())
    GTEST_SKIP() << "python3 is not installed";
  QTemporaryDir dir;
  auto m = StyledMemo();
  TZarvToRTF rtf;
  rtf.setZarvMemo(m.get());
  rtf.SaveToFile(dir.filePath(QStringLiteral("styled.rtf")));
  // A second document: the text alone, without highlighting.
  rtf.setDynFormat(false);
  rtf.SaveToFile(dir.filePath(QStringLiteral("plain.rtf")));
  const QStringList inputs{dir.filePath(QStringLiteral("styled.rtf")), dir.filePath(QStringLiteral("plain.rtf"))};
  const QString profile = QStringLiteral("-env:UserInstallation=file://") + dir.filePath(QStringLiteral("profile"));
  // One LibreOffice start per target format, converting both files.
  for (const QString& format : {QStringLiteral("txt:Text (encoded):UTF8"), QStringLiteral("html")}) {
    QProcess p;
    p.start(soffice, QStringList{profile, QStringLiteral("--headless"), QStringLiteral("--convert-to"), format,
                                 QStringLiteral("--outdir"), dir.path()} +
                         inputs);
    ASSERT_TRUE(p.waitForFinished(180000)) << "soffice did not finish";
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
  }
  for (const char* name : {"styled", "plain"}) {
    QFile txt(dir.filePath(QLatin1String(name) + QLatin1String(".txt")));
    ASSERT_TRUE(txt.open(QIODevice::ReadOnly)) << name;
    EXPECT_EQ(Shown(QString::fromUtf8(txt.readAll())).toStdString(), Shown(kMixedText).toStdString()) << name;
  }
  const QJsonObject doc = ReadHtml(dir.filePath(QStringLiteral("styled.html")), false);
  ExpectRunsSurvive(doc, "LibreOffice");
}
