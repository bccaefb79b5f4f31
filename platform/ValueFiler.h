// The value filer: reads and writes the classic component-streaming values.
//
// Form properties such as the keyword lists, and the list editor's ".kbn"
// files, are sequences of tagged values: a tag byte followed by the value's
// little-endian data. Speaking that encoding byte for byte lets data written
// by the classic platform load here and ours load there. TWriter always picks
// the shortest form (the smallest integer width, UTF-8 or UTF-16 strings);
// TReader accepts every form the classic writer ever produced for a value,
// checks every tag and length before it trusts it, and raises EReadError on a
// truncated, garbled or wrong-typed stream rather than reading past its end.
//
// A property section is a run of (name, value) pairs closed by a Null tag.
// TFiler::DefineProperty is how an object offers its custom-streamed
// properties to whichever side (reader or writer) is at work.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>

class QIODevice;

namespace zarv {

// Value tags, with their classic numbers.
enum TValueType : uint8_t {
  vaNull = 0,     // no data; ends a list
  vaList = 1,     // list begin
  vaInt8 = 2,     // 1 byte, signed
  vaInt16 = 3,    // 2 bytes, signed
  vaInt32 = 4,    // 4 bytes, signed
  vaExtended = 5, // 10 bytes (80-bit float); skipped only
  vaString = 6,   // 1-byte length + 8-bit chars
  vaIdent = 7,    // same layout as vaString
  vaFalse = 8,
  vaTrue = 9,
  vaBinary = 10,  // 4-byte length + bytes
  vaSet = 11,     // 8-bit strings up to an empty one; skipped only
  vaLString = 12, // 4-byte length + 8-bit chars
  vaNil = 13,
  vaCollection = 14, // not supported
  vaSingle = 15,     // 4 bytes; skipped only
  vaCurrency = 16,   // 8 bytes; skipped only
  vaDate = 17,       // 8 bytes; skipped only
  vaWString = 18,    // 4-byte length in UTF-16 units + UTF-16LE
  vaInt64 = 19,      // 8 bytes, signed
  vaUTF8String = 20, // 4-byte byte length + UTF-8
};

// Readable name of a tag for error messages ("String", "Int32", ...).
QString ValueTypeName(uint8_t tag);

class TReader;
class TWriter;
using TReaderProc = std::function<void(TReader&)>;
using TWriterProc = std::function<void(TWriter&)>;

// Common base of reader and writer. Works on a device owned by the caller;
// not copyable, since a copy would share the device position.
class TFiler {
public:
  explicit TFiler(QIODevice& stream) : fStream(stream) {}
  virtual ~TFiler() = default;
  TFiler(const TFiler&) = delete;
  TFiler& operator=(const TFiler&) = delete;

  // Offers a property with its own streaming. The writer writes the name and
  // calls writeData when hasData is true; the reader calls readData when the
  // property it is reading has this name.
  virtual void DefineProperty(const QString& name, const TReaderProc& readData, const TWriterProc& writeData,
                              bool hasData) = 0;

  QIODevice& Stream() const { return fStream; }

protected:
  QIODevice& fStream;
};

using TDefinePropertiesProc = std::function<void(TFiler&)>;

class TWriter : public TFiler {
public:
  explicit TWriter(QIODevice& stream) : TFiler(stream) {}

  void DefineProperty(const QString& name, const TReaderProc& readData, const TWriterProc& writeData,
                      bool hasData) override;

  void WriteValue(TValueType value);
  void WriteListBegin() { WriteValue(vaList); }
  void WriteListEnd() { WriteValue(vaNull); }
  // Int8, Int16 or Int32, whichever is the smallest to hold the value.
  void WriteInteger(int32_t value);
  // As WriteInteger while the value fits 32 bits, else Int64.
  void WriteInt64(int64_t value);
  void WriteBoolean(bool value) { WriteValue(value ? vaTrue : vaFalse); }
  // UTF8String when that is shorter than UTF-16, else WString. A string with
  // an unpaired surrogate always goes as WString, which keeps it intact.
  // EWriteError, before anything is written, for more than 2^31 - 1 units.
  void WriteString(const QString& value);
  // The form WriteString gives a string of `units` UTF-16 units whose UTF-8
  // form has `utf8Bytes` bytes (-1: it has none, for an unpaired
  // surrogate): UTF8String when strictly shorter and its byte count fits the
  // 32-bit length, else WString when the unit count fits; EWriteError when
  // neither fits.
  static TValueType StringForm(qint64 units, qint64 utf8Bytes);
  // An identifier: False, True, nil and Null become their tags, anything
  // else goes as at most 255 Windows-1252 characters, the 8-bit form the
  // reader decodes. An identifier that form cannot hold raises EWriteError
  // before anything is written, rather than arriving changed.
  void WriteIdent(const QString& ident);
  void WriteBinary(const QByteArray& data);
  // A property name: a length byte and at most 255 UTF-8 bytes, no tag. A
  // longer name (or one with an unpaired surrogate) raises EWriteError
  // before anything is written: a shortened name would not be recognised.
  void WritePropName(const QString& name);

private:
  void writeRaw(const void* data, qint64 n);
};

class TReader : public TFiler {
public:
  explicit TReader(QIODevice& stream) : TFiler(stream) {}

  void DefineProperty(const QString& name, const TReaderProc& readData, const TWriterProc& writeData,
                      bool hasData) override;

  // The tag of the next value, without consuming it.
  TValueType NextValue();
  TValueType ReadValue();
  // Consumes the next tag, which must be `expected`.
  void CheckValue(TValueType expected);

  void ReadListBegin() { CheckValue(vaList); }
  void ReadListEnd() { CheckValue(vaNull); }
  bool EndOfList() { return NextValue() == vaNull; }

  // Int8, Int16 or Int32.
  int32_t ReadInteger();
  // Any integer form, Int64 included.
  int64_t ReadInt64();
  bool ReadBoolean();
  // String, LString, WString or UTF8String. 8-bit strings are read as
  // Windows-1252, the code page the classic platform wrote them in.
  QString ReadString();
  // Ident, or False, True, nil and Null as their names.
  QString ReadIdent();
  QByteArray ReadBinary();
  QString ReadPropName();
  // Skips one value of any supported type, nested lists included.
  void SkipValue();

  // Reads a property name and hands it to defineProperties, whose
  // DefineProperty calls may claim it and read its value. Returns whether one
  // did; otherwise the value is still unread (SkipValue skips it).
  bool ReadProperty(const TDefinePropertiesProc& defineProperties);

private:
  [[noreturn]] void typeError(const char* expected, uint8_t found, qint64 at) const;
  QByteArray readBytes(qint64 n);
  void skipBytes(qint64 n);
  uint8_t readByte();
  qint64 readLength();
  QString readAnsi(qint64 n);

  QString fPropName;
  bool fPropClaimed = false;
};

} // namespace zarv
