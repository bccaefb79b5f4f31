// Tests of the value filer against hand-built byte sequences: every tag the
// writer produces and the reader accepts, the smallest-width rules, and the
// reader's refusal of truncated, garbled and wrong-typed streams.
#include "platform/FilerError.h"
#include "platform/ValueFiler.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>

namespace zarv {
namespace {

QByteArray Bytes(std::initializer_list<int> b) {
  QByteArray out;
  for (int v : b)
    out.append(static_cast<char>(v));
  return out;
}

QByteArray Written(const std::function<void(TWriter&)>& f) {
  QByteArray out;
  QBuffer buf(&out);
  buf.open(QIODevice::WriteOnly);
  TWriter w(buf);
  f(w);
  return out;
}

// A device that can only be read front to back, like a pipe: no size, no
// seeking, so the reader cannot check lengths against what is left.
class SequentialDevice : public QIODevice {
public:
  explicit SequentialDevice(QByteArray data) : fData(std::move(data)) { open(QIODevice::ReadOnly); }
  bool isSequential() const override { return true; }
  qint64 bytesAvailable() const override { return fData.size() - fPos + QIODevice::bytesAvailable(); }

protected:
  qint64 readData(char* data, qint64 max) override {
    const qint64 n = std::min(max, fData.size() - fPos);
    if (n <= 0)
      return -1;
    memcpy(data, fData.constData() + fPos, static_cast<size_t>(n));
    fPos += n;
    return n;
  }
  qint64 writeData(const char*, qint64) override { return -1; }

private:
  QByteArray fData;
  qint64 fPos = 0;
};

// Runs f on a reader over bytes and returns how far it read.
qint64 ReadAll(QByteArray bytes, const std::function<void(TReader&)>& f) {
  QBuffer buf(&bytes);
  buf.open(QIODevice::ReadOnly);
  TReader r(buf);
  f(r);
  return buf.pos();
}

void ExpectReadError(const QByteArray& bytes, const std::function<void(TReader&)>& f, const char* why) {
  QByteArray copy = bytes;
  QBuffer buf(&copy);
  buf.open(QIODevice::ReadOnly);
  TReader r(buf);
  EXPECT_THROW(f(r), EReadError) << why;
  EXPECT_LE(buf.pos(), bytes.size()) << why;
}

struct IntCase {
  int32_t value;
  QByteArray bytes;
};

TEST(ValueFiler, IntegersAreWrittenInTheSmallestWidthThatHoldsThem) {
  const IntCase cases[] = {
      {0, Bytes({2, 0})},
      {127, Bytes({2, 0x7F})},
      {-128, Bytes({2, 0x80})},
      {128, Bytes({3, 0x80, 0})},
      {-129, Bytes({3, 0x7F, 0xFF})},
      {32767, Bytes({3, 0xFF, 0x7F})},
      {-32768, Bytes({3, 0, 0x80})},
      {32768, Bytes({4, 0, 0x80, 0, 0})},
      {-32769, Bytes({4, 0xFF, 0x7F, 0xFF, 0xFF})},
      {0x1FFFFFFF, Bytes({4, 0xFF, 0xFF, 0xFF, 0x1F})},
      {INT32_MIN, Bytes({4, 0, 0, 0, 0x80})},
      {INT32_MAX, Bytes({4, 0xFF, 0xFF, 0xFF, 0x7F})},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Written([&](TWriter& w) { w.WriteInteger(c.value); }), c.bytes) << c.value;
    int32_t back = 0;
    ReadAll(c.bytes, [&](TReader& r) { back = r.ReadInteger(); });
    EXPECT_EQ(back, c.value);
  }
}

TEST(ValueFiler, ReaderAcceptsAnyIntegerWidthWithSignExtension) {
  const IntCase cases[] = {
      {-1, Bytes({2, 0xFF})},
      {-1, Bytes({3, 0xFF, 0xFF})},
      {-1, Bytes({4, 0xFF, 0xFF, 0xFF, 0xFF})},
      {5, Bytes({4, 5, 0, 0, 0})}, // wider than needed, as older writers did
      {-2, Bytes({3, 0xFE, 0xFF})},
  };
  for (const auto& c : cases) {
    int32_t back = 0;
    EXPECT_EQ(ReadAll(c.bytes, [&](TReader& r) { back = r.ReadInteger(); }), c.bytes.size());
    EXPECT_EQ(back, c.value);
  }
}

TEST(ValueFiler, Int64IsUsedOnlyBeyondThirtyTwoBits) {
  EXPECT_EQ(Written([](TWriter& w) { w.WriteInt64(-1); }), Bytes({2, 0xFF}));
  EXPECT_EQ(Written([](TWriter& w) { w.WriteInt64(int64_t(1) << 31); }),
            Bytes({19, 0, 0, 0, 0x80, 0, 0, 0, 0}));
  int64_t v = 0;
  ReadAll(Bytes({19, 1, 0, 0, 0, 1, 0, 0, 0}), [&](TReader& r) { v = r.ReadInt64(); });
  EXPECT_EQ(v, (int64_t(1) << 32) + 1);
  ReadAll(Bytes({3, 0x00, 0x80}), [&](TReader& r) { v = r.ReadInt64(); });
  EXPECT_EQ(v, -32768);
  ExpectReadError(Bytes({19, 1, 0, 0, 0, 0, 0, 0, 0}), [](TReader& r) { r.ReadInteger(); },
                  "a 32-bit read does not take an Int64");
}

struct StringCase {
  const char* name;
  QString value;
  QByteArray bytes;
};

TEST(ValueFiler, StringsGoAsUtf8WhenShorterElseAsUtf16) {
  const StringCase cases[] = {
      {"ASCII is shorter in UTF-8", QStringLiteral("if"), Bytes({20, 2, 0, 0, 0, 'i', 'f'})},
      {"empty is not shorter, so WString", QString(), Bytes({18, 0, 0, 0, 0})},
      {"a two-byte UTF-8 char ties, so WString", QString(QChar(0xE4)), Bytes({18, 1, 0, 0, 0, 0xE4, 0})},
      {"three UTF-8 bytes lose", QString(QChar(0x20AC)), Bytes({18, 1, 0, 0, 0, 0xAC, 0x20})},
      {"mixed text where UTF-8 wins", QString::fromUtf8("ab\xC3\xA4"),
       Bytes({20, 4, 0, 0, 0, 'a', 'b', 0xC3, 0xA4})},
      {"an unpaired surrogate keeps UTF-16",
       QString::fromUtf16(u"abc\xD800xyz"), Bytes({18, 7, 0, 0, 0, 'a', 0, 'b', 0, 'c', 0, 0, 0xD8, 'x', 0, 'y', 0, 'z', 0})},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Written([&](TWriter& w) { w.WriteString(c.value); }), c.bytes) << c.name;
    QString back;
    ReadAll(c.bytes, [&](TReader& r) { back = r.ReadString(); });
    EXPECT_EQ(back, c.value) << c.name;
  }
}

TEST(ValueFiler, ReaderAcceptsEveryStringForm) {
  const StringCase cases[] = {
      {"String", QStringLiteral("abc"), Bytes({6, 3, 'a', 'b', 'c'})},
      {"LString", QStringLiteral("abc"), Bytes({12, 3, 0, 0, 0, 'a', 'b', 'c'})},
      {"WString", QStringLiteral("ab"), Bytes({18, 2, 0, 0, 0, 'a', 0, 'b', 0})},
      {"UTF8String", QString::fromUtf8("\xE2\x82\xAC"), Bytes({20, 3, 0, 0, 0, 0xE2, 0x82, 0xAC})},
      {"8-bit chars read as Windows-1252", QString::fromUtf16(u"\u20AC\u00E9\u0178\u008D"),
       Bytes({6, 4, 0x80, 0xE9, 0x9F, 0x8D})},
      {"embedded NUL", QString::fromUtf16(u"a\0b", 3), Bytes({18, 3, 0, 0, 0, 'a', 0, 0, 0, 'b', 0})},
  };
  for (const auto& c : cases) {
    QString back;
    EXPECT_EQ(ReadAll(c.bytes, [&](TReader& r) { back = r.ReadString(); }), c.bytes.size()) << c.name;
    EXPECT_EQ(back, c.value) << c.name;
  }
}

TEST(ValueFiler, ListsBooleansIdentsBinaryAndNamesHaveTheirTags) {
  EXPECT_EQ(Written([](TWriter& w) {
              w.WriteListBegin();
              w.WriteBoolean(false);
              w.WriteBoolean(true);
              w.WriteListEnd();
            }),
            Bytes({1, 8, 9, 0}));
  EXPECT_EQ(Written([](TWriter& w) { w.WriteIdent(QStringLiteral("clRed")); }), Bytes({7, 5, 'c', 'l', 'R', 'e', 'd'}));
  EXPECT_EQ(Written([](TWriter& w) {
              w.WriteIdent(QStringLiteral("True"));
              w.WriteIdent(QStringLiteral("false"));
              w.WriteIdent(QStringLiteral("nil"));
              w.WriteIdent(QStringLiteral("Null"));
            }),
            Bytes({9, 8, 13, 0}));
  EXPECT_EQ(Written([](TWriter& w) { w.WriteBinary(QByteArray("\x01\x02", 2)); }), Bytes({10, 2, 0, 0, 0, 1, 2}));
  EXPECT_EQ(Written([](TWriter& w) { w.WritePropName(QStringLiteral("Keys")); }), Bytes({4, 'K', 'e', 'y', 's'}));

  ReadAll(Bytes({1, 8, 9, 7, 2, 'i', 'd', 13, 10, 1, 0, 0, 0, 0x7F, 0, 4, 'N', 'a', 'm', 'e'}), [](TReader& r) {
    r.ReadListBegin();
    EXPECT_FALSE(r.ReadBoolean());
    EXPECT_TRUE(r.ReadBoolean());
    EXPECT_EQ(r.ReadIdent(), QStringLiteral("id"));
    EXPECT_EQ(r.ReadIdent(), QStringLiteral("nil"));
    EXPECT_EQ(r.ReadBinary(), QByteArray("\x7F", 1));
    EXPECT_TRUE(r.EndOfList());
    r.ReadListEnd();
    EXPECT_EQ(r.ReadPropName(), QStringLiteral("Name"));
  });
}

TEST(ValueFiler, NextValuePeeksWithoutConsuming) {
  ReadAll(Bytes({3, 1, 0, 9}), [](TReader& r) {
    EXPECT_EQ(r.NextValue(), vaInt16);
    EXPECT_EQ(r.NextValue(), vaInt16);
    EXPECT_EQ(r.ReadInteger(), 1);
    EXPECT_EQ(r.NextValue(), vaTrue);
    EXPECT_TRUE(r.ReadBoolean());
    EXPECT_THROW(r.NextValue(), EReadError);
  });
}

TEST(ValueFiler, ReadingTheWrongTypeRaisesAClearError) {
  struct Case {
    const char* name;
    QByteArray bytes;
    std::function<void(TReader&)> read;
  };
  const Case cases[] = {
      {"integer from a string", Bytes({6, 1, 'a'}), [](TReader& r) { r.ReadInteger(); }},
      {"string from an integer", Bytes({2, 1}), [](TReader& r) { r.ReadString(); }},
      {"Boolean from Null", Bytes({0}), [](TReader& r) { r.ReadBoolean(); }},
      {"Boolean from an integer", Bytes({2, 1}), [](TReader& r) { r.ReadBoolean(); }},
      {"list begin from a string", Bytes({20, 0, 0, 0, 0}), [](TReader& r) { r.ReadListBegin(); }},
      {"list end from a Boolean", Bytes({9}), [](TReader& r) { r.ReadListEnd(); }},
      {"Ident from a string", Bytes({6, 1, 'a'}), [](TReader& r) { r.ReadIdent(); }},
      {"unknown tag", Bytes({200}), [](TReader& r) { r.ReadString(); }},
  };
  for (const auto& c : cases) {
    QByteArray bytes = c.bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::ReadOnly);
    TReader r(buf);
    try {
      c.read(r);
      ADD_FAILURE() << c.name << ": no error";
    } catch (const EReadError& e) {
      EXPECT_TRUE(e.message().startsWith(QStringLiteral("Invalid property value"))) << c.name;
      EXPECT_TRUE(e.message().contains(QStringLiteral("at byte 0"))) << c.name << ": " << e.what();
    }
  }
}

TEST(ValueFiler, EveryTruncationOfAValueRaisesAReadError) {
  struct Case {
    QByteArray bytes;
    std::function<void(TReader&)> read;
  };
  const Case cases[] = {
      {Bytes({4, 1, 2, 3, 4}), [](TReader& r) { r.ReadInteger(); }},
      {Bytes({19, 1, 2, 3, 4, 5, 6, 7, 8}), [](TReader& r) { r.ReadInt64(); }},
      {Bytes({6, 3, 'a', 'b', 'c'}), [](TReader& r) { r.ReadString(); }},
      {Bytes({12, 2, 0, 0, 0, 'a', 'b'}), [](TReader& r) { r.ReadString(); }},
      {Bytes({18, 1, 0, 0, 0, 'a', 0}), [](TReader& r) { r.ReadString(); }},
      {Bytes({20, 1, 0, 0, 0, 'a'}), [](TReader& r) { r.ReadString(); }},
      {Bytes({10, 1, 0, 0, 0, 'a'}), [](TReader& r) { r.ReadBinary(); }},
      {Bytes({7, 1, 'a'}), [](TReader& r) { r.ReadIdent(); }},
      {Bytes({1, 2, 1, 0}), [](TReader& r) { r.SkipValue(); }},
      {Bytes({4, 'N', 'a', 'm', 'e'}), [](TReader& r) { r.ReadPropName(); }},
  };
  for (const auto& c : cases) {
    ReadAll(c.bytes, c.read); // the whole value reads
    for (qsizetype n = 0; n < c.bytes.size(); ++n)
      ExpectReadError(c.bytes.left(n), c.read, c.bytes.left(n).toHex().constData());
  }
}

TEST(ValueFiler, HugeOrNegativeLengthsFailWithoutAllocating) {
  const QByteArray hugeW = Bytes({18, 0xFF, 0xFF, 0xFF, 0x7F, 'a', 0});
  const QByteArray hugeU = Bytes({20, 0xFF, 0xFF, 0xFF, 0x7F, 'a'});
  const QByteArray negative = Bytes({12, 0xFF, 0xFF, 0xFF, 0xFF, 'a'});
  for (const QByteArray& b : {hugeW, hugeU, negative}) {
    ExpectReadError(b, [](TReader& r) { r.ReadString(); }, "random-access device");
    SequentialDevice dev(b);
    TReader r(dev);
    EXPECT_THROW(r.ReadString(), EReadError) << "sequential device";
  }
  ExpectReadError(Bytes({10, 0, 0, 0, 0x80}), [](TReader& r) { r.ReadBinary(); }, "negative binary length");
}

TEST(ValueFiler, SequentialDevicesReadLikeBuffers) {
  const QByteArray bytes = Written([](TWriter& w) {
    w.WriteListBegin();
    w.WriteString(QString(70000, QChar(0x3B1))); // longer than one read chunk
    w.WriteInteger(-5);
    w.WriteListEnd();
  });
  SequentialDevice dev(bytes);
  TReader r(dev);
  r.ReadListBegin();
  EXPECT_EQ(r.ReadString(), QString(70000, QChar(0x3B1)));
  EXPECT_EQ(r.ReadInteger(), -5);
  r.ReadListEnd();
}

TEST(ValueFiler, SkipValueSkipsEveryTypeAndNestedLists) {
  const QByteArray values = Bytes({
      1, 2, 1, 1, 6, 1, 'x', 0, 9, 0,                 // [1, ['x'], True]
      3, 1, 0, 4, 1, 0, 0, 0, 19, 1, 0, 0, 0, 0, 0, 0, 0, // Int16, Int32, Int64
      5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                 // Extended
      11, 1, 'a', 2, 'b', 'c', 0,                      // Set
      12, 1, 0, 0, 0, 'z', 13, 8,                      // LString, Nil, False
      15, 0, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0, 0,      // Single, Currency
      17, 0, 0, 0, 0, 0, 0, 0, 0,                      // Date
      18, 1, 0, 0, 0, 'w', 0, 20, 1, 0, 0, 0, 'u',     // WString, UTF8String
      10, 2, 0, 0, 0, 1, 2, 7, 1, 'i',                 // Binary, Ident
      2, 42});
  ReadAll(values, [](TReader& r) {
    for (int i = 0; i < 17; ++i)
      r.SkipValue();
    EXPECT_EQ(r.ReadInteger(), 42);
  });
  ExpectReadError(Bytes({14, 0}), [](TReader& r) { r.SkipValue(); }, "collections are not supported");
}

TEST(ValueFiler, DeeplyNestedListsEndInAnErrorNotAStackOverflow) {
  const QByteArray deep(200000, char(vaList));
  ExpectReadError(deep, [](TReader& r) { r.SkipValue(); }, "unclosed lists");
}

TEST(ValueFiler, DefinedPropertiesRoundTripAndUnclaimedOnesCanBeSkipped) {
  int32_t stored = 7;
  QString text = QStringLiteral("abc");
  const auto define = [&](TFiler& f) {
    f.DefineProperty(QStringLiteral("Number"), [&](TReader& r) { stored = r.ReadInteger(); },
                     [&](TWriter& w) { w.WriteInteger(stored); }, true);
    f.DefineProperty(QStringLiteral("Empty"), {}, [](TWriter& w) { w.WriteInteger(1); }, false);
    f.DefineProperty(QStringLiteral("Text"), [&](TReader& r) { text = r.ReadString(); },
                     [&](TWriter& w) { w.WriteString(text); }, true);
  };
  const QByteArray bytes = Written([&](TWriter& w) {
    define(w);
    w.WriteListEnd();
  });
  EXPECT_EQ(bytes, Bytes({6, 'N', 'u', 'm', 'b', 'e', 'r', 2, 7, 4, 'T', 'e', 'x', 't', 20, 3, 0, 0, 0, 'a', 'b', 'c', 0}));

  stored = 0;
  text.clear();
  // Reading with a definition that knows only "Text": "Number" is skipped.
  const auto onlyText = [&](TFiler& f) {
    f.DefineProperty(QStringLiteral("text"), [&](TReader& r) { text = r.ReadString(); }, {}, true);
  };
  ReadAll(bytes, [&](TReader& r) {
    std::vector<bool> claimed;
    while (!r.EndOfList()) {
      const bool c = r.ReadProperty(onlyText);
      claimed.push_back(c);
      if (!c)
        r.SkipValue();
    }
    r.ReadListEnd();
    EXPECT_EQ(claimed, (std::vector<bool>{false, true}));
  });
  EXPECT_EQ(stored, 0);
  EXPECT_EQ(text, QStringLiteral("abc"));
}

TEST(ValueFiler, RandomStringsAndIntegersSurviveARoundTrip) {
  QRandomGenerator rng(20240611);
  for (int round = 0; round < 200; ++round) {
    std::vector<QString> strings;
    std::vector<int32_t> ints;
    for (int i = 0; i < 8; ++i) {
      QString s;
      const int len = rng.bounded(0, 40);
      for (int k = 0; k < len; ++k) {
        // Mostly ASCII, some Latin, CJK and surrogate halves (paired or not).
        const int kind = rng.bounded(0, 10);
        s += QChar(static_cast<char16_t>(kind < 6 ? rng.bounded(0, 128)
                                         : kind < 8 ? rng.bounded(128, 0x800)
                                         : kind < 9 ? rng.bounded(0x4E00, 0x9FFF)
                                                    : rng.bounded(0xD800, 0xE000)));
      }
      strings.push_back(s);
      ints.push_back(static_cast<int32_t>(rng.generate()) >> rng.bounded(0, 32));
    }
    const QByteArray bytes = Written([&](TWriter& w) {
      for (size_t i = 0; i < strings.size(); ++i) {
        w.WriteString(strings[i]);
        w.WriteInteger(ints[i]);
      }
    });
    ReadAll(bytes, [&](TReader& r) {
      for (size_t i = 0; i < strings.size(); ++i) {
        ASSERT_EQ(r.ReadString(), strings[i]) << round;
        ASSERT_EQ(r.ReadInteger(), ints[i]) << round;
      }
    });
  }
}

} // namespace
} // namespace zarv
