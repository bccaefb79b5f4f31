// Reading and writing tagged values. The reader never allocates more than the
// stream can deliver: lengths are checked against the bytes left on random-
// access devices, and sequential devices are read in bounded chunks. The
// writer never writes a length its field cannot hold: it picks another form
// or refuses the value before writing any of it.
#include <ZarvMemo/platform/ValueFiler.h>

#include <ZarvMemo/platform/FilerError.h>
#include <ZarvMemo/platform/Stream.h>

#include <QIODevice>
#include <QStringDecoder>
#include <QtEndian>

#include <algorithm>
#include <array>

namespace zarv {

namespace {

constexpr qint64 kChunk = 64 * 1024;

// Windows-1252 for 0x80..0x9F; the five unassigned bytes keep their C1 code.
constexpr std::array<char16_t, 32> kCp1252High = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                                  0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Bytes of the UTF-8 form of s, counted without converting; -1 when s holds
// an unpaired surrogate, which UTF-8 cannot carry.
qint64 Utf8Length(QStringView s) {
  const qsizetype n = s.size();
  qint64 bytes = 0;
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t c = s[i].unicode();
    if (c < 0x80) {
      bytes += 1;
    } else if (c < 0x800) {
      bytes += 2;
    } else if (QChar::isHighSurrogate(c)) {
      if (i + 1 >= n || !s[i + 1].isLowSurrogate())
        return -1;
      bytes += 4;
      ++i;
    } else if (QChar::isLowSurrogate(c)) {
      return -1;
    } else {
      bytes += 3;
    }
  }
  return bytes;
}

// The Windows-1252 byte of c, or -1 when that code page has none for it.
int Cp1252Byte(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
    return c;
  for (size_t i = 0; i < kCp1252High.size(); ++i)
    if (kCp1252High[i] == c)
      return static_cast<int>(0x80 + i);
  return -1;
}

[[noreturn]] void WriteError(const QString& what) {
  throw EWriteError(QString::fromLatin1(SStreamWriteError) + QLatin1String(": ") + what);
}

QString ReadErrorText() { return QString::fromLatin1(SStreamReadError); }

} // namespace

QString ValueTypeName(uint8_t tag) {
  static const char* const kNames[] = {"Null",    "List",  "Int8",       "Int16",  "Int32",    "Extended",
                                       "String",  "Ident", "False",      "True",   "Binary",   "Set",
                                       "LString", "Nil",   "Collection", "Single", "Currency", "Date",
                                       "WString", "Int64", "UTF8String"};
  if (tag < std::size(kNames))
    return QString::fromLatin1(kNames[tag]);
  return QStringLiteral("unknown tag %1").arg(tag);
}

// ---- TWriter ------------------------------------------------------------------

void TWriter::writeRaw(const void* data, qint64 n) { WriteExact(fStream, data, n); }

void TWriter::DefineProperty(const QString& name, const TReaderProc&, const TWriterProc& writeData, bool hasData) {
  if (!hasData || !writeData)
    return;
  WritePropName(name);
  writeData(*this);
}

void TWriter::WriteValue(TValueType value) {
  const auto b = static_cast<uint8_t>(value);
  writeRaw(&b, 1);
}

void TWriter::WriteInteger(int32_t value) {
  if (value >= -128 && value <= 127) {
    WriteValue(vaInt8);
    const auto b = static_cast<int8_t>(value);
    writeRaw(&b, 1);
  } else if (value >= -32768 && value <= 32767) {
    WriteValue(vaInt16);
    const auto le = qToLittleEndian(static_cast<int16_t>(value));
    writeRaw(&le, 2);
  } else {
    WriteValue(vaInt32);
    const auto le = qToLittleEndian(value);
    writeRaw(&le, 4);
  }
}

void TWriter::WriteInt64(int64_t value) {
  if (value >= INT32_MIN && value <= INT32_MAX) {
    WriteInteger(static_cast<int32_t>(value));
    return;
  }
  WriteValue(vaInt64);
  const auto le = qToLittleEndian(value);
  writeRaw(&le, 8);
}

TValueType TWriter::StringForm(qint64 units, qint64 utf8Bytes) {
  if (utf8Bytes >= 0 && utf8Bytes < units * 2 && utf8Bytes <= INT32_MAX)
    return vaUTF8String;
  if (units <= INT32_MAX)
    return vaWString;
  WriteError(QStringLiteral("string too long"));
}

void TWriter::WriteString(const QString& value) {
  const qint64 units = value.size();
  if (StringForm(units, Utf8Length(value)) == vaUTF8String) {
    const QByteArray utf8 = value.toUtf8();
    Q_ASSERT(utf8.size() <= INT32_MAX);
    WriteValue(vaUTF8String);
    const auto len = qToLittleEndian(static_cast<int32_t>(utf8.size()));
    writeRaw(&len, 4);
    writeRaw(utf8.constData(), utf8.size());
    return;
  }
  WriteValue(vaWString);
  const auto len = qToLittleEndian(static_cast<int32_t>(units));
  writeRaw(&len, 4);
  // In pieces: a string of a billion units needs no second copy.
  QByteArray bytes(std::min(units, kChunk) * 2, Qt::Uninitialized);
  for (qsizetype at = 0; at < units; at += kChunk) {
    const qsizetype n = std::min(units - at, kChunk);
    for (qsizetype i = 0; i < n; ++i)
      qToLittleEndian(value[at + i].unicode(), bytes.data() + 2 * i);
    writeRaw(bytes.constData(), n * 2);
  }
}

void TWriter::WriteIdent(const QString& ident) {
  if (ident.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
    return WriteValue(vaFalse);
  if (ident.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
    return WriteValue(vaTrue);
  if (ident.compare(QLatin1String("nil"), Qt::CaseInsensitive) == 0)
    return WriteValue(vaNil);
  if (ident.compare(QLatin1String("Null"), Qt::CaseInsensitive) == 0)
    return WriteValue(vaNull);
  if (ident.size() > 255)
    WriteError(QStringLiteral("identifier longer than 255 characters"));
  QByteArray bytes(ident.size(), Qt::Uninitialized);
  for (qsizetype i = 0; i < ident.size(); ++i) {
    const int b = Cp1252Byte(ident[i].unicode());
    if (b < 0)
      WriteError(QStringLiteral("identifier \"%1\" holds a character without an 8-bit code").arg(ident));
    bytes[i] = static_cast<char>(b);
  }
  WriteValue(vaIdent);
  const auto len = static_cast<uint8_t>(bytes.size());
  writeRaw(&len, 1);
  writeRaw(bytes.constData(), bytes.size());
}

void TWriter::WriteBinary(const QByteArray& data) {
  if (data.size() > INT32_MAX)
    WriteError(QStringLiteral("binary value too long"));
  WriteValue(vaBinary);
  const auto len = qToLittleEndian(static_cast<int32_t>(data.size()));
  writeRaw(&len, 4);
  writeRaw(data.constData(), data.size());
}

void TWriter::WritePropName(const QString& name) {
  const qint64 bytes = Utf8Length(name);
  if (bytes < 0)
    WriteError(QStringLiteral("property name \"%1\" holds an unpaired surrogate").arg(name.left(64)));
  if (bytes > 255)
    WriteError(QStringLiteral("property name \"%1...\" is longer than 255 UTF-8 bytes").arg(name.left(64)));
  const QByteArray utf8 = name.toUtf8();
  const auto len = static_cast<uint8_t>(utf8.size());
  writeRaw(&len, 1);
  writeRaw(utf8.constData(), utf8.size());
}

// ---- TReader ------------------------------------------------------------------

void TReader::typeError(const char* expected, uint8_t found, qint64 at) const {
  throw EReadError(
      QStringLiteral("%1: %2 expected, found %3 at byte %4")
          .arg(QString::fromLatin1(SInvalidPropertyValue), QString::fromLatin1(expected), ValueTypeName(found))
          .arg(at));
}

uint8_t TReader::readByte() {
  char c;
  if (fStream.read(&c, 1) != 1)
    throw EReadError(ReadErrorText());
  return static_cast<uint8_t>(c);
}

QByteArray TReader::readBytes(qint64 n) {
  Q_ASSERT(n >= 0);
  if (!fStream.isSequential() && n > StreamRemaining(fStream))
    throw EReadError(ReadErrorText());
  QByteArray out;
  while (out.size() < n) {
    const qint64 want = std::min(kChunk, n - out.size());
    const qsizetype had = out.size();
    out.resize(had + want);
    const qint64 got = fStream.read(out.data() + had, want);
    if (got <= 0)
      throw EReadError(ReadErrorText());
    out.resize(had + got);
  }
  return out;
}

void TReader::skipBytes(qint64 n) {
  while (n > 0) {
    const qint64 part = std::min(kChunk, n);
    readBytes(part);
    n -= part;
  }
}

// A 4-byte length; a negative one is garbage, not an empty value.
qint64 TReader::readLength() {
  const qint64 at = fStream.pos();
  const QByteArray b = readBytes(4);
  const auto len = qFromLittleEndian<int32_t>(b.constData());
  if (len < 0)
    throw EReadError(QStringLiteral("%1: negative length %2 at byte %3")
                         .arg(QString::fromLatin1(SInvalidPropertyValue))
                         .arg(len)
                         .arg(at));
  return len;
}

QString TReader::readAnsi(qint64 n) {
  const QByteArray b = readBytes(n);
  QString s(b.size(), Qt::Uninitialized);
  for (qsizetype i = 0; i < b.size(); ++i) {
    const auto c = static_cast<uint8_t>(b[i]);
    s[i] = QChar(c >= 0x80 && c <= 0x9F ? kCp1252High[c - 0x80] : char16_t(c));
  }
  return s;
}

void TReader::DefineProperty(const QString& name, const TReaderProc& readData, const TWriterProc&, bool) {
  if (fPropClaimed || !readData || name.compare(fPropName, Qt::CaseInsensitive) != 0)
    return;
  fPropClaimed = true;
  readData(*this);
}

TValueType TReader::NextValue() {
  char c;
  if (fStream.peek(&c, 1) != 1)
    throw EReadError(ReadErrorText());
  return static_cast<TValueType>(static_cast<uint8_t>(c));
}

TValueType TReader::ReadValue() { return static_cast<TValueType>(readByte()); }

void TReader::CheckValue(TValueType expected) {
  const qint64 at = fStream.pos();
  const uint8_t tag = readByte();
  if (tag != expected) {
    const QByteArray name = ValueTypeName(expected).toLatin1();
    typeError(name.constData(), tag, at);
  }
}

int32_t TReader::ReadInteger() {
  const qint64 at = fStream.pos();
  const uint8_t tag = readByte();
  switch (tag) {
  case vaInt8:
    return static_cast<int8_t>(readByte());
  case vaInt16:
    return qFromLittleEndian<int16_t>(readBytes(2).constData());
  case vaInt32:
    return qFromLittleEndian<int32_t>(readBytes(4).constData());
  default:
    typeError("integer", tag, at);
  }
}

int64_t TReader::ReadInt64() {
  if (NextValue() == vaInt64) {
    ReadValue();
    return qFromLittleEndian<int64_t>(readBytes(8).constData());
  }
  return ReadInteger();
}

bool TReader::ReadBoolean() {
  const qint64 at = fStream.pos();
  const uint8_t tag = readByte();
  if (tag != vaFalse && tag != vaTrue)
    typeError("Boolean", tag, at);
  return tag == vaTrue;
}

QString TReader::ReadString() {
  const qint64 at = fStream.pos();
  const uint8_t tag = readByte();
  switch (tag) {
  case vaString:
    return readAnsi(readByte());
  case vaLString:
    return readAnsi(readLength());
  case vaUTF8String: {
    // A leading U+FEFF is part of the string, not a mark to drop.
    QStringDecoder utf8(QStringConverter::Utf8,
                        QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    return utf8.decode(readBytes(readLength()));
  }
  case vaWString: {
    const qint64 units = readLength();
    const QByteArray b = readBytes(units * 2);
    QString s(units, Qt::Uninitialized);
    for (qsizetype i = 0; i < units; ++i)
      s[i] = QChar(qFromLittleEndian<char16_t>(b.constData() + 2 * i));
    return s;
  }
  default:
    typeError("string", tag, at);
  }
}

QString TReader::ReadIdent() {
  const qint64 at = fStream.pos();
  const uint8_t tag = readByte();
  switch (tag) {
  case vaIdent:
    return readAnsi(readByte());
  case vaFalse:
    return QStringLiteral("False");
  case vaTrue:
    return QStringLiteral("True");
  case vaNil:
    return QStringLiteral("nil");
  case vaNull:
    return QStringLiteral("Null");
  default:
    typeError("identifier", tag, at);
  }
}

QByteArray TReader::ReadBinary() {
  CheckValue(vaBinary);
  return readBytes(readLength());
}

QString TReader::ReadPropName() { return QString::fromUtf8(readBytes(readByte())); }

void TReader::SkipValue() {
  // Lists nest; a depth count instead of recursion keeps a hostile stream of
  // list tags from exhausting the stack.
  int64_t depth = 0;
  do {
    const qint64 at = fStream.pos();
    const uint8_t tag = readByte();
    switch (tag) {
    case vaList:
      ++depth;
      break;
    case vaNull:
      if (depth > 0)
        --depth;
      break;
    case vaFalse:
    case vaTrue:
    case vaNil:
      break;
    case vaInt8:
      skipBytes(1);
      break;
    case vaInt16:
      skipBytes(2);
      break;
    case vaInt32:
    case vaSingle:
      skipBytes(4);
      break;
    case vaInt64:
    case vaCurrency:
    case vaDate:
      skipBytes(8);
      break;
    case vaExtended:
      skipBytes(10);
      break;
    case vaString:
    case vaIdent:
      skipBytes(readByte());
      break;
    case vaLString:
    case vaBinary:
    case vaUTF8String:
      skipBytes(readLength());
      break;
    case vaWString:
      skipBytes(readLength() * 2);
      break;
    case vaSet:
      for (uint8_t len = readByte(); len != 0; len = readByte())
        skipBytes(len);
      break;
    default:
      typeError("value", tag, at);
    }
  } while (depth > 0);
}

bool TReader::ReadProperty(const TDefinePropertiesProc& defineProperties) {
  fPropName = ReadPropName();
  fPropClaimed = false;
  defineProperties(*this);
  const bool claimed = fPropClaimed;
  fPropName.clear();
  fPropClaimed = false;
  return claimed;
}

} // namespace zarv
