// Tests of the string lists: text splitting and joining, index checks, the
// nesting update bracket with its events, objects travelling with their
// strings, and loading and saving with encodings.
#include "platform/Exceptions.h"
#include "platform/StringList.h"

#include <QBuffer>
#include <gtest/gtest.h>

#include <stdexcept>

namespace zarv {
namespace {

QStringList Items(const TStrings& s) { return s.ToStringList(); }

TEST(Strings, SetTextSplitsAtEachBreakAndIgnoresAFinalOne) {
  struct Case {
    QString text;
    QStringList items;
  };
  const Case cases[] = {
      {QString(), {}},
      {QStringLiteral("a"), {QStringLiteral("a")}},
      {QStringLiteral("a\r\nb"), {QStringLiteral("a"), QStringLiteral("b")}},
      {QStringLiteral("a\nb\n"), {QStringLiteral("a"), QStringLiteral("b")}},
      {QStringLiteral("a\rb\r"), {QStringLiteral("a"), QStringLiteral("b")}},
      {QStringLiteral("a\n\rb"), {QStringLiteral("a"), QString(), QStringLiteral("b")}},
      {QStringLiteral("\r\n"), {QString()}},
      {QStringLiteral("a\r\n\r\nb"), {QStringLiteral("a"), QString(), QStringLiteral("b")}},
      {QStringLiteral("a\r\r\n"), {QStringLiteral("a"), QString()}},
  };
  for (const auto& c : cases) {
    TStringList list;
    list.Add(QStringLiteral("old"));
    list.SetText(c.text);
    EXPECT_EQ(Items(list), c.items) << c.text.toStdString();
  }
}

TEST(Strings, TextEndsEveryItemWithTheLineBreak) {
  TStringList list(QStringList{QStringLiteral("a"), QString(), QStringLiteral("b")});
  EXPECT_EQ(list.Text(), QStringLiteral("a\r\n\r\nb\r\n"));
  list.LineBreak = QStringLiteral("\n");
  EXPECT_EQ(list.Text(), QStringLiteral("a\n\nb\n"));
  TStringList empty;
  EXPECT_EQ(empty.Text(), QString());
}

TEST(Strings, IndexesOutsideTheListRaiseListIndexOutOfBounds) {
  TStringList list(QStringList{QStringLiteral("a"), QStringLiteral("b")});
  EXPECT_THROW(list.Get(-1), ERangeError);
  EXPECT_THROW(list.Get(2), ERangeError);
  EXPECT_THROW(list.Delete(2), ERangeError);
  EXPECT_THROW(list.Insert(3, QStringLiteral("x")), ERangeError);
  EXPECT_THROW(list.Put(-1, QStringLiteral("x")), ERangeError);
  EXPECT_THROW(list.GetObject(2), ERangeError);
  EXPECT_EQ(Items(list), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
  list.Insert(2, QStringLiteral("c")); // the end is a valid insertion point
  EXPECT_EQ(list.Get(2), QStringLiteral("c"));
  try {
    list.Get(5);
  } catch (const ERangeError& e) {
    EXPECT_EQ(e.message(), QStringLiteral("List index out of bounds"));
  }
}

TEST(Strings, ObjectsTravelWithTheirStrings) {
  int a = 0, b = 0, c = 0;
  TStringList list;
  list.AddObject(QStringLiteral("a"), &a);
  list.AddObject(QStringLiteral("b"), &b);
  list.InsertObject(0, QStringLiteral("c"), &c);
  list.Move(0, 2);
  EXPECT_EQ(Items(list), (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
  EXPECT_EQ(list.GetObject(2), &c);
  list.Exchange(0, 1);
  EXPECT_EQ(list.GetObject(0), &b);
  EXPECT_EQ(list.GetObject(1), &a);
  list.Put(0, QStringLiteral("B"));
  EXPECT_EQ(list.GetObject(0), &b);

  TStringList copy;
  copy.Assign(list);
  EXPECT_EQ(Items(copy), Items(list));
  EXPECT_EQ(copy.GetObject(2), &c);
}

TEST(Strings, AssigningAListToItselfKeepsIt) {
  TStringList list(QStringList{QStringLiteral("a"), QStringLiteral("b")});
  list.Assign(list);
  EXPECT_EQ(Items(list), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
}

TEST(Strings, IndexOfIgnoresCase) {
  TStringList list(QStringList{QStringLiteral("Alpha"), QStringLiteral("beta")});
  EXPECT_EQ(list.IndexOf(QStringLiteral("BETA")), 1);
  EXPECT_EQ(list.IndexOf(QStringLiteral("alpha")), 0);
  EXPECT_EQ(list.IndexOf(QStringLiteral("gamma")), -1);
}

TEST(Strings, ChangeEventsComeOncePerBatchInsideAnUpdate) {
  TStringList list;
  int changing = 0, changed = 0;
  list.OnChanging = [&](TStringList&) { ++changing; };
  list.OnChange = [&](TStringList&) { ++changed; };
  list.Add(QStringLiteral("a"));
  EXPECT_EQ(changing, 1);
  EXPECT_EQ(changed, 1);

  list.BeginUpdate();
  list.BeginUpdate();
  list.Add(QStringLiteral("b"));
  list.Delete(0);
  list.EndUpdate();
  EXPECT_EQ(changed, 1) << "the inner EndUpdate does not close the batch";
  list.EndUpdate();
  EXPECT_EQ(changing, 2);
  EXPECT_EQ(changed, 2);

  // A bracket without changes reports nothing changed.
  list.BeginUpdate();
  list.EndUpdate();
  EXPECT_EQ(changed, 2);
}

TEST(Strings, UpdateLockClosesTheBracketWhenAnExceptionPasses) {
  TStringList list;
  try {
    TStrings::UpdateLock lock(list);
    list.Add(QStringLiteral("x"));
    throw std::runtime_error("fails");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(list.UpdateCount(), 0);
}

struct EncodingCase {
  const char* name;
  QByteArray bytes;
  QStringConverter::Encoding encoding;
  bool bom;
  QByteArray finalBreak;
};

TEST(Strings, LoadingDetectsTheByteOrderMarkAndSavingRestoresIt) {
  const EncodingCase cases[] = {
      {"UTF-8 without mark", QByteArray("\xC3\xA4x\r\ny"), QStringConverter::Utf8, false, QByteArray("\r\n")},
      {"UTF-8 with mark", QByteArray("\xEF\xBB\xBF\xC3\xA4x\r\ny"), QStringConverter::Utf8, true,
       QByteArray("\r\n")},
      {"UTF-16LE with mark", QByteArray("\xFF\xFE\xE4\x00x\x00\r\x00\n\x00y\x00", 12), QStringConverter::Utf16LE,
       true, QByteArray("\r\x00\n\x00", 4)},
      {"UTF-16BE with mark", QByteArray("\xFE\xFF\x00\xE4\x00x\x00\r\x00\n\x00y", 12), QStringConverter::Utf16BE,
       true, QByteArray("\x00\r\x00\n", 4)},
  };
  for (const auto& c : cases) {
    QByteArray in = c.bytes;
    QBuffer buf(&in);
    buf.open(QIODevice::ReadOnly);
    TStringList list;
    list.LoadFromStream(buf);
    EXPECT_EQ(Items(list), (QStringList{QString(QChar(0xE4)) + u'x', QStringLiteral("y")})) << c.name;
    EXPECT_EQ(list.Encoding(), c.encoding) << c.name;
    EXPECT_EQ(list.HadBOM(), c.bom) << c.name;

    QByteArray out;
    QBuffer outBuf(&out);
    outBuf.open(QIODevice::WriteOnly);
    list.SaveToStream(outBuf);
    // The same bytes, mark included, plus the final break of the last item.
    EXPECT_EQ(out, c.bytes + c.finalBreak) << c.name;
  }
}

TEST(Strings, AGivenEncodingWinsOverAMissingMark) {
  QByteArray in("\xE4\x00", 2);
  QBuffer buf(&in);
  buf.open(QIODevice::ReadOnly);
  TStringList list;
  list.LoadFromStream(buf, QStringConverter::Utf16LE);
  EXPECT_EQ(Items(list), QStringList{QString(QChar(0xE4))});

  QByteArray latin("\xE4", 1);
  QBuffer lb(&latin);
  lb.open(QIODevice::ReadOnly);
  list.LoadFromStream(lb, QStringConverter::Latin1);
  EXPECT_EQ(Items(list), QStringList{QString(QChar(0xE4))});
  QByteArray out;
  QBuffer ob(&out);
  ob.open(QIODevice::WriteOnly);
  list.SaveToStream(ob);
  EXPECT_EQ(out, QByteArray("\xE4\r\n"));
}

} // namespace
} // namespace zarv
