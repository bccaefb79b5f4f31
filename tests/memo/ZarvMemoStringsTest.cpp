// String views: random list operations on the paragraph and line views
// against TStringList, mixed with direct edits of the control; indexes out
// of range; the "Strings" form property's round trip; files saved back
// byte for byte in every encoding.
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/memo/ZarvMemoStrings.h>
#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/platform/StringList.h>
#include <ZarvMemo/platform/ValueFiler.h>

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <random>

using namespace zarv;

namespace {

std::unique_ptr<TZarvMemo> Control() {
  auto m = std::make_unique<TZarvMemo>();
  m->setUpdateMode(umImmediate);
  m->setWordWrap(false); // display lines are paragraphs, so both views follow one model
  m->setScrollTime(0);
  m->resize(300, 200);
  m->show();
  return m;
}

} // namespace

TEST(ZarvMemoStrings, ViewsAndDirectEditsFollowAStringListModel) {
  for (bool lineView : {false, true}) {
    SCOPED_TRACE(lineView ? "lines" : "paragraphs");
    std::mt19937 rng(lineView ? 5 : 6);
    auto m = Control();
    TStrings& view = lineView ? static_cast<TStrings&>(m->Lines()) : static_cast<TStrings&>(m->ParaStrings());
    TStringList model;
    const QString words[] = {QString(), QStringLiteral("a"), QStringLiteral("two words"), QStringLiteral("\tx ")};
    for (int step = 0; step < 500; ++step) {
      const QString s = words[rng() % 4] + words[rng() % 4];
      const int32_t n = model.Count();
      switch (rng() % 6) {
      case 0:
        view.Add(s), model.Add(s);
        break;
      case 1: {
        const int32_t i = int32_t(rng() % uint32_t(n + 1));
        view.Insert(i, s);
        model.Insert(i, s);
        break;
      }
      case 2:
        if (n > 0) {
          const int32_t i = int32_t(rng() % uint32_t(n));
          view.Delete(i);
          model.Delete(i);
        }
        break;
      case 3:
        if (n > 0) {
          const int32_t i = int32_t(rng() % uint32_t(n));
          view.Put(i, s);
          model.Put(i, s);
        }
        break;
      case 4: // a direct edit of the control
        if (n > 0 && !s.isEmpty()) {
          const int32_t i = int32_t(rng() % uint32_t(n));
          m->setParString(i, s);
          model.Put(i, s);
        }
        break;
      default:
        if (n > 0) {
          const int32_t i = int32_t(rng() % uint32_t(n));
          ASSERT_EQ(view.Get(i), model.Get(i)) << "step " << step;
        }
      }
      ASSERT_EQ(view.ToStringList(), model.ToStringList()) << "step " << step;
      ASSERT_NO_THROW(m->CheckIntegrity());
    }
    // Out of range: "List index out of bounds", nothing changed.
    const QString text = m->GetTextContent();
    EXPECT_THROW(view.Put(view.Count(), QStringLiteral("x")), ERangeError);
    EXPECT_THROW(view.Delete(-1), ERangeError);
    EXPECT_THROW(view.Get(view.Count()), ERangeError);
    EXPECT_THROW(view.Insert(view.Count() + 1, QStringLiteral("x")), ERangeError);
    EXPECT_EQ(m->GetTextContent(), text);
  }
}

// Leading and trailing empty strings survive the form property.
TEST(ZarvMemoStrings, TheStringsPropertyRoundTripsEmptyLinesAtBothEnds) {
  const QStringList cases[] = {{QString(), QStringLiteral("a")},
                               {QStringLiteral("a"), QString()},
                               {QString(), QString()},
                               {QStringLiteral("x"), QString(), QStringLiteral("y z")}};
  for (const QStringList& lines : cases) {
    auto m = Control();
    m->SetTextBuf(lines.join(QStringLiteral("\r\n")));
    QBuffer stream;
    stream.open(QIODevice::ReadWrite);
    {
      TWriter w(stream);
      m->ParaStrings().WriteData(w);
    }
    stream.seek(0);
    auto back = Control();
    back->SetTextBuf(QStringLiteral("old text"));
    TReader r(stream);
    back->ParaStrings().ReadData(r);
    EXPECT_EQ(back->GetTextContent(), m->GetTextContent()) << lines.join(QLatin1Char('|')).toStdString();
  }
}

// A file loaded through the view saves back to the same bytes.
TEST(ZarvMemoStrings, FilesSaveBackByteForByteInEveryEncoding) {
  QTemporaryDir dir;
  const QString text = QStringLiteral("caf\u00e9 line\r\nsecond\r\n\r\nlast");
  struct Case {
    const char* name;
    QByteArray bytes;
  };
  const QByteArray utf8 = text.toUtf8();
  QByteArray le(reinterpret_cast<const char*>(text.utf16()), text.size() * 2), be;
  for (qsizetype i = 0; i < le.size(); i += 2)
    be += le.mid(i + 1, 1) + le.mid(i, 1);
  const Case cases[] = {{"UTF-8", utf8},
                        {"UTF-8 with mark", QByteArray("\xEF\xBB\xBF") + utf8},
                        {"UTF-16LE with mark", QByteArray("\xFF\xFE") + le},
                        {"UTF-16BE with mark", QByteArray("\xFE\xFF") + be},
                        {"8-bit", text.toLatin1()}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QString in = dir.filePath(QStringLiteral("in")), out = dir.filePath(QStringLiteral("out"));
    QFile f(in);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(c.bytes);
    f.close();
    auto m = Control();
    m->Lines().LoadFromFile(in);
    EXPECT_EQ(m->GetTextContent(), text);
    m->Lines().SaveToFile(out);
    QFile g(out);
    ASSERT_TRUE(g.open(QIODevice::ReadOnly));
    EXPECT_EQ(g.readAll(), c.bytes);
  }
  // An encoding the store does not read goes through UTF-16 in memory.
  auto m = Control();
  m->SetTextBuf(text);
  QBuffer b;
  b.open(QIODevice::ReadWrite);
  m->Lines().SaveToStream(b, QStringConverter::Utf32LE, true);
  b.seek(0);
  auto back = Control();
  back->Lines().LoadFromStream(b, QStringConverter::Utf32LE);
  EXPECT_EQ(back->GetTextContent(), text);
}
