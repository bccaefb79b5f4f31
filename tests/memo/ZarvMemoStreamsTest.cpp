// Loading and saving through the control: files in every encoding come back
// byte for byte, the format found is remembered, the new content is told
// after the change, a file that cannot be read leaves the text alone, and
// a failed save leaves the old file.
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/platform/Exceptions.h>

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace zarv;

namespace {

class TNewContentLog : public IzvsNotify {
public:
  std::vector<std::string> Log;
  void Notify(QObject*, TzvEvents e) override {
    if (e.testFlag(zveChange))
      Log.push_back("change");
    if (e.testFlag(zveNewContent))
      Log.push_back("new content");
  }
};

QByteArray readFile(const QString& name) {
  QFile f(name);
  f.open(QIODevice::ReadOnly);
  return f.readAll();
}

} // namespace

TEST(ZarvMemoStreams, FilesInEveryEncodingLoadAndSaveBackByteForByte) {
  struct Case {
    const char* name;
    QByteArray bytes;
    TzvsTextFormat format;
    QString text;
  };
  const QString accented = QStringLiteral("na\u00efve \u20ac\r\n\U0001F600 end");
  const Case cases[] = {
      {"utf-8", accented.toUtf8(), {TzvsEncoding::Utf8, false}, accented},
      {"utf-8 with mark", QByteArray("\xEF\xBB\xBF") + accented.toUtf8(), {TzvsEncoding::Utf8, true}, accented},
      {"utf-16le with mark",
       QByteArray("\xFF\xFE", 2) + QByteArray(reinterpret_cast<const char*>(accented.utf16()), accented.size() * 2),
       {TzvsEncoding::Utf16LE, true},
       accented},
      {"latin-1, not utf-8",
       QByteArray("caf\xE9\r\nna\xEFve"),
       {TzvsEncoding::Ansi, false},
       QStringLiteral("caf\u00e9\r\nna\u00efve")},
      {"ascii", QByteArray("plain\r\ntext"), {TzvsEncoding::Utf8, false}, QStringLiteral("plain\r\ntext")},
  };
  QTemporaryDir dir;
  for (const Case& c : cases) {
    const QString in = dir.filePath(QStringLiteral("in")), out = dir.filePath(QStringLiteral("out"));
    QFile f(in);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(c.bytes);
    f.close();
    TZarvMemo m;
    m.LoadFromFile(in);
    EXPECT_EQ(m.GetTextContent(), c.text) << c.name;
    EXPECT_EQ(m.TextFormat(), c.format) << c.name;
    m.CheckIntegrity();
    m.SaveToFile(out);
    EXPECT_EQ(readFile(out), c.bytes) << c.name;
  }
}

TEST(ZarvMemoStreams, LoadingTellsTheChangeThenTheNewContentAndResetsTheView) {
  TZarvMemo m;
  TNewContentLog log;
  m.AddNotify(&log);
  int32_t parsedFrom = -1, parsedTo = -1;
  m.OnParse = [&](TZarvMemo&, int32_t a, int32_t b) { parsedFrom = a, parsedTo = b; };
  int progress = 0;
  m.OnProgress = [&](TZarvMemo&) { ++progress; };
  m.SetTextBuf(QStringLiteral("old"));
  m.setSelStart(2);
  log.Log.clear();
  m.SetModified(false);
  m.setOptions(m.getOptions() | zvoAutoLineBreak);
  QBuffer b;
  b.setData("one\ntwo\nthree");
  b.open(QIODevice::ReadOnly);
  m.LoadFromStream(b);
  EXPECT_EQ(log.Log, (std::vector<std::string>{"change", "new content"}));
  EXPECT_EQ(m.GetParCount(), 3);
  EXPECT_EQ(m.getSelStart(), 0);
  EXPECT_TRUE(m.Modified());
  EXPECT_EQ(parsedFrom, 0);
  EXPECT_EQ(parsedTo, m.getCharCount());
  EXPECT_GE(progress, 1) << "once at the end at least";
  EXPECT_EQ(m.getLineBreak(), zbLF) << "zvoAutoLineBreak takes the break found";
  m.CheckIntegrity();
}

TEST(ZarvMemoStreams, AFileThatCannotBeReadLeavesTheTextAndAFailedSaveLeavesTheFile) {
  TZarvMemo m;
  m.SetTextBuf(QStringLiteral("keep me"));
  EXPECT_THROW(m.LoadFromFile(QStringLiteral("/nonexistent/dir/file.txt")), EStreamError);
  EXPECT_EQ(m.GetTextContent(), QStringLiteral("keep me"));
  EXPECT_THROW(m.SaveToFile(QStringLiteral("/nonexistent/dir/out.txt")), EStreamError);
  // /dev/full accepts the open and refuses every byte.
  if (QFile::exists(QStringLiteral("/dev/full"))) {
    QFile full(QStringLiteral("/dev/full"));
    ASSERT_TRUE(full.open(QIODevice::WriteOnly));
    EXPECT_THROW(m.SaveToStream(full), EStreamError);
    EXPECT_FALSE(m.SavingContent());
  }
  m.Clear();
  EXPECT_EQ(m.getCharCount(), 0);
  EXPECT_EQ(m.GetParCount(), 1);
  m.CheckIntegrity();
}
