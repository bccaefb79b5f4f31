// Tests of the string lists: text splitting and joining, index checks,
// objects travelling with their strings, the nesting update bracket with its
// events, and loading and saving with encodings.
#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/platform/StringList.h>

#include <QBuffer>
#include <QStringEncoder>
#include <gtest/gtest.h>

#include <stdexcept>

namespace zarv {
namespace {

QStringList L(std::initializer_list<const char*> items) {
  QStringList out;
  for (const char* s : items)
    out.append(QString::fromLatin1(s));
  return out;
}

TEST(Strings, SetTextSplitsAtEachBreakAndTextEndsEveryItemWithOne) {
  const std::pair<const char*, QStringList> cases[] = {
      {"", {}},
      {"a\r\nb", L({"a", "b"})},
      {"a\nb\n", L({"a", "b"})},
      {"a\rb\r", L({"a", "b"})},
      {"a\n\rb", L({"a", "", "b"})}, // LF CR is two breaks
      {"\r\n", L({""})},
      {"a\r\r\n", L({"a", ""})},
  };
  for (const auto& [text, items] : cases) {
    TStringList list(L({"old"}));
    list.SetText(QString::fromLatin1(text));
    EXPECT_EQ(list.ToStringList(), items) << text;
  }
  TStringList list(L({"a", "", "b"}));
  EXPECT_EQ(list.Text(), QStringLiteral("a\r\n\r\nb\r\n"));
}

TEST(Strings, IndexesOutsideTheListRaiseAndChangeNothing) {
  TStringList list(L({"a", "b"}));
  EXPECT_THROW(list.Get(-1), ERangeError);
  EXPECT_THROW(list.Get(2), ERangeError);
  EXPECT_THROW(list.Delete(2), ERangeError);
  EXPECT_THROW(list.Insert(3, QStringLiteral("x")), ERangeError);
  EXPECT_THROW(list.GetObject(2), ERangeError);
  EXPECT_EQ(list.ToStringList(), L({"a", "b"}));
  list.Insert(2, QStringLiteral("c")); // the end is a valid insertion point
  EXPECT_EQ(list.ToStringList(), L({"a", "b", "c"}));
}

TEST(Strings, ObjectsTravelWithTheirStringsThroughMovesAndAssign) {
  int a = 0, b = 0, c = 0;
  TStringList list;
  list.AddObject(QStringLiteral("a"), &a);
  list.AddObject(QStringLiteral("b"), &b);
  list.InsertObject(0, QStringLiteral("c"), &c);
  list.Move(0, 2);
  list.Exchange(0, 1);
  EXPECT_EQ(list.ToStringList(), L({"b", "a", "c"}));
  EXPECT_EQ(list.GetObject(0), &b);
  EXPECT_EQ(list.GetObject(2), &c);
  list.Put(1, QStringLiteral("A"));
  EXPECT_EQ(list.GetObject(1), &a);

  TStringList copy;
  copy.Assign(list);
  EXPECT_EQ(copy.ToStringList(), list.ToStringList());
  EXPECT_EQ(copy.GetObject(2), &c);
  list.Assign(list);
  EXPECT_EQ(list.GetCount(), 3) << "assigning a list to itself keeps it";
}

TEST(Strings, ChangeEventsComeOncePerOutermostUpdate) {
  TStringList list;
  int changing = 0, changed = 0;
  list.OnChanging = [&](TStringList&) { ++changing; };
  list.OnChange = [&](TStringList&) { ++changed; };
  list.Add(QStringLiteral("a"));
  EXPECT_EQ(changed, 1);
  list.BeginUpdate();
  list.BeginUpdate();
  list.Add(QStringLiteral("b"));
  list.Delete(0);
  list.EndUpdate();
  EXPECT_EQ(changed, 1);
  list.EndUpdate();
  EXPECT_EQ(changing, 2);
  EXPECT_EQ(changed, 2);
  list.BeginUpdate();
  list.EndUpdate();
  EXPECT_EQ(changed, 2) << "an empty batch changes nothing";

  try {
    TStrings::UpdateLock lock(list);
    throw std::runtime_error("fails");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(list.UpdateCount(), 0);
}

TEST(Strings, LoadingFollowsTheByteOrderMarkAndSavingRestoresIt) {
  struct Case {
    QByteArray bytes;
    QStringConverter::Encoding encoding;
    QByteArray finalBreak;
  };
  const Case cases[] = {
      {QByteArray("\xC3\xA4x\r\ny"), QStringConverter::Utf8, QByteArray("\r\n")},
      {QByteArray("\xEF\xBB\xBF\xC3\xA4x\r\ny"), QStringConverter::Utf8, QByteArray("\r\n")},
      {QByteArray("\xFF\xFE\xE4\x00x\x00\r\x00\n\x00y\x00", 12), QStringConverter::Utf16LE, QByteArray("\r\0\n\0", 4)},
      {QByteArray("\xFE\xFF\x00\xE4\x00x\x00\r\x00\n\x00y", 12), QStringConverter::Utf16BE, QByteArray("\0\r\0\n", 4)},
  };
  for (const auto& c : cases) {
    QByteArray in = c.bytes;
    QBuffer buf(&in);
    buf.open(QIODevice::ReadOnly);
    TStringList list;
    list.LoadFromStream(buf);
    EXPECT_EQ(list.ToStringList(), (QStringList{QString::fromUtf16(u"\u00E4x"), QStringLiteral("y")}));
    EXPECT_EQ(list.Encoding(), c.encoding);
    QByteArray out;
    QBuffer ob(&out);
    ob.open(QIODevice::WriteOnly);
    list.SaveToStream(ob);
    EXPECT_EQ(out, c.bytes + c.finalBreak) << "same encoding and mark";
  }
  // A given encoding applies to text without a mark.
  QByteArray latin("\xE4", 1);
  QBuffer lb(&latin);
  lb.open(QIODevice::ReadOnly);
  TStringList list;
  list.LoadFromStream(lb, QStringConverter::Latin1);
  EXPECT_EQ(list.ToStringList(), QStringList{QString(QChar(0xE4))});
}

// A given encoding takes only its own byte-order mark: FF FE 00 00 is the
// UTF-16LE mark and U+0000 when UTF-16LE is given, though it is also the
// UTF-32LE mark. Either way the text saves back to the same bytes.
TEST(Strings, AGivenEncodingLooksOnlyForItsOwnMark) {
  using E = QStringConverter::Encoding;
  struct Case {
    QByteArray bytes;
    std::optional<E> given;
    QString item;
    E encoding;
    bool mark;
  };
  const QByteArray ffFe0000("\xFF\xFE\0\0"
                            "a\0\0\0",
                            8);
  const Case cases[] = {
      {ffFe0000, QStringConverter::Utf16LE, QString::fromUtf16(u"\0a\0", 3), QStringConverter::Utf16LE, true},
      {ffFe0000, std::nullopt, QStringLiteral("a"), QStringConverter::Utf32LE, true},
      {ffFe0000, QStringConverter::Utf32LE, QStringLiteral("a"), QStringConverter::Utf32LE, true},
      {QByteArray("\xFF\xFE"
                  "a\0",
                  4),
       QStringConverter::Utf16BE, QString(QChar(0xFFFE)) + QChar(0x6100), QStringConverter::Utf16BE, false},
      {QByteArray("\xFE\xFF\0a", 4), QStringConverter::Utf16, QStringLiteral("a"), QStringConverter::Utf16BE, true},
      {QByteArray("\0\0\xFE\xFF\0\0\0a", 8), QStringConverter::Utf32, QStringLiteral("a"), QStringConverter::Utf32BE,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes.toHex().toStdString());
    QByteArray in = c.bytes;
    QBuffer buf(&in);
    buf.open(QIODevice::ReadOnly);
    TStringList list;
    list.LoadFromStream(buf, c.given);
    EXPECT_EQ(list.ToStringList(), QStringList{c.item});
    EXPECT_EQ(list.Encoding(), c.encoding);
    EXPECT_EQ(list.HadBOM(), c.mark);
    QByteArray out;
    QBuffer ob(&out);
    ob.open(QIODevice::WriteOnly);
    list.SaveToStream(ob);
    QStringEncoder encoder(c.encoding, QStringConverter::Flag::Stateless);
    EXPECT_EQ(out, c.bytes + QByteArray(encoder.encode(QStringLiteral("\r\n"))));
  }
}

// Indexes and counts are 32-bit: a list refuses to grow past 2^31 - 1 items
// rather than wrap its count negative.
TEST(Strings, ListsRefuseToGrowPast2To31MinusOneItems) {
  const std::tuple<qint64, qint64, bool> cases[] = {
      {0, 1, true},          {INT32_MAX - 1, 1, true}, {INT32_MAX, 0, true},
      {INT32_MAX, 1, false}, {0, INT32_MAX, true},     {1, INT32_MAX, false},
  };
  for (const auto& [count, added, allowed] : cases) {
    if (allowed)
      EXPECT_NO_THROW(TStrings::CheckGrowth(count, added)) << count << " + " << added;
    else
      EXPECT_THROW(TStrings::CheckGrowth(count, added), EListError) << count << " + " << added;
  }
}

} // namespace
} // namespace zarv
