// Tests of the value filer against hand-built byte sequences: every tag the
// writer produces and the reader accepts, the smallest-width rules, and the
// reader's refusal of truncated, garbled and wrong-typed streams.
#include <ZarvMemo/platform/FilerError.h>
#include <ZarvMemo/platform/ValueFiler.h>

#include <QBuffer>
#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>

namespace zarv {
namespace {

using ReadFn = std::function<void(TReader&)>;

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

// Runs f on a reader over bytes; returns how far it read.
qint64 ReadAll(QByteArray bytes, const ReadFn& f) {
  QBuffer buf(&bytes);
  buf.open(QIODevice::ReadOnly);
  TReader r(buf);
  f(r);
  return buf.pos();
}

// f must raise EReadError without reading past the end; returns its text.
QString ReadError(QByteArray bytes, const ReadFn& f) {
  QBuffer buf(&bytes);
  buf.open(QIODevice::ReadOnly);
  TReader r(buf);
  try {
    f(r);
  } catch (const EReadError& e) {
    EXPECT_LE(buf.pos(), bytes.size());
    return e.message();
  }
  ADD_FAILURE() << "no error for " << bytes.toHex().constData();
  return {};
}

// A pipe-like device: no size and no seeking, so lengths cannot be checked
// against what is left before reading.
class SequentialDevice : public QIODevice {
public:
  explicit SequentialDevice(QByteArray data) : fData(std::move(data)) { open(QIODevice::ReadOnly); }
  bool isSequential() const override { return true; }

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

TEST(ValueFiler, IntegersAreWrittenInTheSmallestWidthAndReadInAnyWidth) {
  const std::pair<int32_t, QByteArray> written[] = {
      {0, Bytes({2, 0})},
      {127, Bytes({2, 0x7F})},
      {-128, Bytes({2, 0x80})},
      {128, Bytes({3, 0x80, 0})},
      {-129, Bytes({3, 0x7F, 0xFF})},
      {32767, Bytes({3, 0xFF, 0x7F})},
      {-32768, Bytes({3, 0, 0x80})},
      {32768, Bytes({4, 0, 0x80, 0, 0})},
      {0x1FFFFFFF, Bytes({4, 0xFF, 0xFF, 0xFF, 0x1F})},
      {INT32_MIN, Bytes({4, 0, 0, 0, 0x80})},
  };
  for (const auto& [value, bytes] : written) {
    EXPECT_EQ(Written([&](TWriter& w) { w.WriteInteger(value); }), bytes) << value;
    ReadAll(bytes, [&](TReader& r) { EXPECT_EQ(r.ReadInteger(), value); });
  }
  // Wider than needed, as older writers did, with sign extension.
  for (const QByteArray& minusOne : {Bytes({3, 0xFF, 0xFF}), Bytes({4, 0xFF, 0xFF, 0xFF, 0xFF})})
    ReadAll(minusOne, [](TReader& r) { EXPECT_EQ(r.ReadInteger(), -1); });
  // Int64 only beyond 32 bits; a 32-bit read refuses it.
  EXPECT_EQ(Written([](TWriter& w) { w.WriteInt64(-1); }), Bytes({2, 0xFF}));
  const QByteArray big = Bytes({19, 1, 0, 0, 0, 1, 0, 0, 0});
  EXPECT_EQ(Written([](TWriter& w) { w.WriteInt64((int64_t(1) << 32) + 1); }), big);
  ReadAll(big, [](TReader& r) { EXPECT_EQ(r.ReadInt64(), (int64_t(1) << 32) + 1); });
  ReadError(big, [](TReader& r) { r.ReadInteger(); });
}

TEST(ValueFiler, StringsGoAsUtf8WhenShorterElseAsUtf16) {
  const std::pair<QString, QByteArray> cases[] = {
      {QStringLiteral("if"), Bytes({20, 2, 0, 0, 0, 'i', 'f'})},
      {QString(), Bytes({18, 0, 0, 0, 0})},                          // 0 is not shorter than 0
      {QString(QChar(0xE4)), Bytes({18, 1, 0, 0, 0, 0xE4, 0})},      // 2 bytes either way
      {QString(QChar(0x20AC)), Bytes({18, 1, 0, 0, 0, 0xAC, 0x20})}, // 3 UTF-8 bytes lose
      {QString::fromUtf8("ab\xC3\xA4"), Bytes({20, 4, 0, 0, 0, 'a', 'b', 0xC3, 0xA4})},
      {QChar(0xFEFF) + QStringLiteral("ab"), Bytes({20, 5, 0, 0, 0, 0xEF, 0xBB, 0xBF, 'a', 'b'})}, // not a mark here
      // UTF-8 would be shorter but cannot carry an unpaired surrogate.
      {QString::fromUtf16(u"abc\xD800xy"), Bytes({18, 6, 0, 0, 0, 'a', 0, 'b', 0, 'c', 0, 0, 0xD8, 'x', 0, 'y', 0})},
  };
  for (const auto& [value, bytes] : cases) {
    EXPECT_EQ(Written([&](TWriter& w) { w.WriteString(value); }), bytes) << bytes.toHex().constData();
    ReadAll(bytes, [&](TReader& r) { EXPECT_EQ(r.ReadString(), value); });
  }
}

TEST(ValueFiler, ReaderAcceptsEveryStringForm) {
  const std::pair<QString, QByteArray> cases[] = {
      {QStringLiteral("abc"), Bytes({6, 3, 'a', 'b', 'c'})},
      {QStringLiteral("abc"), Bytes({12, 3, 0, 0, 0, 'a', 'b', 'c'})},
      {QString::fromUtf16(u"a\0b", 3), Bytes({18, 3, 0, 0, 0, 'a', 0, 0, 0, 'b', 0})},
      {QString(QChar(0x20AC)), Bytes({20, 3, 0, 0, 0, 0xE2, 0x82, 0xAC})},
      // 8-bit strings are Windows-1252.
      {QString::fromUtf16(u"\u20AC\u00E9\u0178\u008D"), Bytes({6, 4, 0x80, 0xE9, 0x9F, 0x8D})},
  };
  for (const auto& [value, bytes] : cases) {
    QString back;
    EXPECT_EQ(ReadAll(bytes, [&](TReader& r) { back = r.ReadString(); }), bytes.size());
    EXPECT_EQ(back, value);
  }
}

TEST(ValueFiler, ListsBooleansIdentsBinaryAndNamesHaveTheirTags) {
  EXPECT_EQ(
      Written([](TWriter& w) {
        w.WriteListBegin();
        w.WriteBoolean(false);
        w.WriteBoolean(true);
        w.WriteListEnd();
        w.WriteIdent(QStringLiteral("clRed"));
        for (const char* special : {"True", "false", "nil", "Null"})
          w.WriteIdent(QString::fromLatin1(special));
        w.WriteBinary(QByteArray("\x01\x02", 2));
        w.WritePropName(QStringLiteral("Keys"));
      }),
      Bytes({1, 8, 9, 0, 7, 5, 'c', 'l', 'R', 'e', 'd', 9, 8, 13, 0, 10, 2, 0, 0, 0, 1, 2, 4, 'K', 'e', 'y', 's'}));

  ReadAll(Bytes({1, 8, 9, 7, 2, 'i', 'd', 13, 10, 1, 0, 0, 0, 0x7F, 0, 4, 'N', 'a', 'm', 'e'}), [](TReader& r) {
    r.ReadListBegin();
    EXPECT_FALSE(r.ReadBoolean());
    EXPECT_EQ(r.NextValue(), vaTrue) << "peeking consumes nothing";
    EXPECT_TRUE(r.ReadBoolean());
    EXPECT_EQ(r.ReadIdent(), QStringLiteral("id"));
    EXPECT_EQ(r.ReadIdent(), QStringLiteral("nil"));
    EXPECT_EQ(r.ReadBinary(), QByteArray("\x7F", 1));
    EXPECT_TRUE(r.EndOfList());
    r.ReadListEnd();
    EXPECT_EQ(r.ReadPropName(), QStringLiteral("Name"));
    EXPECT_THROW(r.NextValue(), EReadError);
  });
}

TEST(ValueFiler, ReadingTheWrongTypeNamesWhatWasFoundAndWhere) {
  const std::pair<QByteArray, ReadFn> cases[] = {
      {Bytes({6, 1, 'a'}), [](TReader& r) { r.ReadInteger(); }},
      {Bytes({2, 1}), [](TReader& r) { r.ReadString(); }},
      {Bytes({0}), [](TReader& r) { r.ReadBoolean(); }},
      {Bytes({2, 1}), [](TReader& r) { r.ReadBoolean(); }},
      {Bytes({20, 0, 0, 0, 0}), [](TReader& r) { r.ReadListBegin(); }},
      {Bytes({9}), [](TReader& r) { r.ReadListEnd(); }},
      {Bytes({6, 1, 'a'}), [](TReader& r) { r.ReadIdent(); }},
      {Bytes({200}), [](TReader& r) { r.ReadString(); }},
      {Bytes({14, 0}), [](TReader& r) { r.SkipValue(); }}, // collections are not supported
  };
  for (const auto& [bytes, read] : cases) {
    const QString msg = ReadError(bytes, read);
    EXPECT_TRUE(msg.startsWith(QStringLiteral("Invalid property value: "))) << msg.toStdString();
    EXPECT_TRUE(msg.endsWith(QStringLiteral(" at byte 0"))) << msg.toStdString();
  }
  EXPECT_EQ(ReadError(Bytes({2, 1, 6, 1, 'a'}),
                      [](TReader& r) {
                        r.ReadInteger();
                        r.ReadInteger();
                      }),
            QStringLiteral("Invalid property value: integer expected, found String at byte 2"));
}

TEST(ValueFiler, EveryTruncationOfAValueRaisesAReadError) {
  const std::pair<QByteArray, ReadFn> cases[] = {
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
  for (const auto& [bytes, read] : cases) {
    EXPECT_EQ(ReadAll(bytes, read), bytes.size());
    for (qsizetype n = 0; n < bytes.size(); ++n)
      EXPECT_EQ(ReadError(bytes.left(n), read), QStringLiteral("Stream read error"));
  }
}

TEST(ValueFiler, HugeOrNegativeLengthsFailWithoutAllocatingOnAnyDevice) {
  const ReadFn readString = [](TReader& r) { r.ReadString(); };
  for (const QByteArray& b : {Bytes({18, 0xFF, 0xFF, 0xFF, 0x7F, 'a', 0}), Bytes({20, 0xFF, 0xFF, 0xFF, 0x7F, 'a'}),
                              Bytes({12, 0xFF, 0xFF, 0xFF, 0xFF, 'a'})}) {
    ReadError(b, readString);
    SequentialDevice dev(b);
    TReader r(dev);
    EXPECT_THROW(r.ReadString(), EReadError);
  }
  ReadError(Bytes({10, 0, 0, 0, 0x80}), [](TReader& r) { r.ReadBinary(); });
  // A long string arrives in several chunks from a sequential device.
  const QString greek(70000, QChar(0x3B1));
  SequentialDevice dev(Written([&](TWriter& w) { w.WriteString(greek); }));
  TReader r(dev);
  EXPECT_EQ(r.ReadString(), greek);
}

TEST(ValueFiler, SkipValueSkipsEveryTypeAndNestingCannotExhaustTheStack) {
  const QByteArray values =
      Bytes({1,  2, 1,   1, 6,   1,   'x', 0,  9,  0,                          // [1, ['x'], True]
             3,  1, 0,   4, 1,   0,   0,   0,  19, 1,   0, 0, 0,   0, 0, 0, 0, // Int16, Int32, Int64
             5,  0, 0,   0, 0,   0,   0,   0,  0,  0,   0,                     // Extended
             11, 1, 'a', 2, 'b', 'c', 0,                                       // Set
             12, 1, 0,   0, 0,   'z', 13,  8,                                  // LString, Nil, False
             15, 0, 0,   0, 0,   16,  0,   0,  0,  0,   0, 0, 0,   0,          // Single, Currency
             17, 0, 0,   0, 0,   0,   0,   0,  0,                              // Date
             18, 1, 0,   0, 0,   'w', 0,   20, 1,  0,   0, 0, 'u',             // WString, UTF8String
             10, 2, 0,   0, 0,   1,   2,   7,  1,  'i', 2, 42});               // Binary, Ident, 42
  ReadAll(values, [](TReader& r) {
    for (int i = 0; i < 16; ++i)
      r.SkipValue();
    EXPECT_EQ(r.ReadInteger(), 42);
  });
  ReadError(QByteArray(200000, char(vaList)), [](TReader& r) { r.SkipValue(); });
}

TEST(ValueFiler, UnclaimedPropertiesAreLeftForTheCallerToSkip) {
  const QByteArray bytes =
      Bytes({6, 'N', 'u', 'm', 'b', 'e', 'r', 2, 7, 4, 'T', 'e', 'x', 't', 20, 1, 0, 0, 0, 'a', 0});
  QString text;
  const auto onlyText = [&](TFiler& f) {
    f.DefineProperty(
        QStringLiteral("text"), [&](TReader& r) { text = r.ReadString(); }, {}, true);
  };
  ReadAll(bytes, [&](TReader& r) {
    EXPECT_FALSE(r.ReadProperty(onlyText));
    r.SkipValue();
    EXPECT_TRUE(r.ReadProperty(onlyText)) << "names compare without case";
    r.ReadListEnd();
  });
  EXPECT_EQ(text, QStringLiteral("a"));
}

// A UTF-8 form past 2^31 - 1 bytes cannot be given its length: the string
// goes as UTF-16 while its unit count fits, and is refused otherwise.
TEST(ValueFiler, StringFormFallsBackToUtf16WhenUtf8LengthDoesNotFit) {
  constexpr qint64 kMax = INT32_MAX;
  const std::tuple<qint64, qint64, int> cases[] = {
      // units, UTF-8 bytes (-1: unpaired surrogate), form (-1: refused)
      {3, 3, vaUTF8String},        {3, 6, vaWString},
      {3, -1, vaWString},          {kMax, kMax, vaUTF8String},
      {kMax, kMax + 1, vaWString}, {1200000000, 2200000000, vaWString}, // shorter than UTF-16, yet too long
      {kMax + 1, kMax + 1, -1},    {kMax + 1, -1, -1},
  };
  for (const auto& [units, utf8, form] : cases) {
    SCOPED_TRACE(testing::Message() << units << " units, " << utf8 << " bytes");
    if (form < 0)
      EXPECT_THROW(TWriter::StringForm(units, utf8), EWriteError);
    else
      EXPECT_EQ(TWriter::StringForm(units, utf8), form);
  }
}

// The real thing: 1.2 G units whose UTF-8 form is 2.2 GB. Needs about 3 GB
// and several seconds, so it runs only when asked for.
TEST(ValueFiler, AStringWithMoreThan2GiBOfUtf8IsWrittenAsUtf16) {
  if (!qEnvironmentVariableIsSet("ZARV_BIG_TESTS"))
    GTEST_SKIP() << "set ZARV_BIG_TESTS to run";
  // Keeps the first bytes and counts the rest.
  class Sink : public QIODevice {
  public:
    Sink() { open(QIODevice::WriteOnly); }
    QByteArray head;
    qint64 total = 0;

  protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 n) override {
      if (head.size() < 5)
        head.append(data, std::min<qint64>(n, 5 - head.size()));
      total += n;
      return n;
    }
  };
  constexpr qsizetype kUnits = 1200000000, kTwoByte = 1000000000;
  QString s(kUnits, QChar(u'a'));
  std::fill(s.begin(), s.begin() + kTwoByte, QChar(0xE9));
  Sink sink;
  TWriter w(sink);
  w.WriteString(s);
  EXPECT_EQ(sink.head, Bytes({vaWString, 0x00, 0x8C, 0x86, 0x47})); // 1 200 000 000 units
  EXPECT_EQ(sink.total, 5 + 2 * kUnits);
}

// Identifiers go as the Windows-1252 bytes the reader decodes, property
// names as UTF-8; what those forms cannot hold is refused before a byte is
// written instead of arriving as '?' or cut inside a UTF-8 sequence.
TEST(ValueFiler, IdentsAndNamesTheFormCannotHoldAreRefusedUnwritten) {
  const QString longName = QStringLiteral("a") + QString(127, QChar(0xE9)); // 255 UTF-8 bytes
  const std::pair<std::function<void(TWriter&)>, std::function<void(TReader&)>> accepted[] = {
      {[](TWriter& w) { w.WriteIdent(QString::fromUtf16(u"\u20AC\u00E9\u0081")); },
       [](TReader& r) { EXPECT_EQ(r.ReadIdent(), QString::fromUtf16(u"\u20AC\u00E9\u0081")); }},
      {[](TWriter& w) { w.WriteIdent(QString(255, QChar(u'x'))); },
       [](TReader& r) { EXPECT_EQ(r.ReadIdent(), QString(255, QChar(u'x'))); }},
      {[&](TWriter& w) { w.WritePropName(longName); }, [&](TReader& r) { EXPECT_EQ(r.ReadPropName(), longName); }},
  };
  for (const auto& [write, read] : accepted) {
    const QByteArray bytes = Written(write);
    EXPECT_EQ(ReadAll(bytes, read), bytes.size());
  }
  const std::function<void(TWriter&)> refused[] = {
      [](TWriter& w) { w.WriteIdent(QStringLiteral("a\u0100")); },         // no 8-bit code
      [](TWriter& w) { w.WriteIdent(QString(QChar(0x80))); },              // byte 0x80 reads as U+20AC
      [](TWriter& w) { w.WriteIdent(QString(256, QChar(u'x'))); },         // too long for the length byte
      [&](TWriter& w) { w.WritePropName(longName + QChar(u'b')); },        // 256 bytes
      [](TWriter& w) { w.WritePropName(QString(128, QChar(0xE9))); },      // 256 bytes, cut would split a pair
      [](TWriter& w) { w.WritePropName(QString::fromUtf16(u"a\xDC00")); }, // UTF-8 cannot carry it
  };
  for (const auto& write : refused) {
    QByteArray out;
    QBuffer buf(&out);
    buf.open(QIODevice::WriteOnly);
    TWriter w(buf);
    EXPECT_THROW(write(w), EWriteError);
    EXPECT_TRUE(out.isEmpty()) << out.toHex().constData();
  }
}

} // namespace
} // namespace zarv
