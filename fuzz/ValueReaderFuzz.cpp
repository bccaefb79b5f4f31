// Fuzz target for the value reader.
//
// The input is read as a stream of tagged values, each with the typed read
// its tag calls for (peeked with NextValue), until the stream ends or the
// reader refuses it. A refusal must be EReadError, never a crash or a read
// past the end. Every value read is written back with TWriter and read again;
// the second reading must give the same values, and writing them again must
// give the same bytes (the writer's choices are deterministic). Identifiers
// read from 8-bit bytes must write back without EWriteError: the writer's
// 8-bit form is the reader's, inverted.
#include <ZarvMemo/platform/FilerError.h>
#include <ZarvMemo/platform/ValueFiler.h>

#include <QBuffer>
#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <variant>
#include <vector>

using namespace zarv;

namespace {

struct ListBegin {
  bool operator==(const ListBegin&) const = default;
};
struct ListEnd {
  bool operator==(const ListEnd&) const = default;
};
struct Ident {
  QString name;
  bool operator==(const Ident&) const = default;
};
using Value = std::variant<ListBegin, ListEnd, int64_t, bool, QString, QByteArray, Ident>;

// Identifiers the writer turns into tags of their own.
bool IsSpecialIdent(const QString& s) {
  for (const char* special : {"False", "True", "nil", "Null"})
    if (s.compare(QLatin1String(special), Qt::CaseInsensitive) == 0)
      return true;
  return false;
}

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "ValueReaderFuzz: %s\n", what);
  std::abort();
}

// Reads values until the end of the stream; returns whether it ended cleanly.
bool ReadValues(QByteArray bytes, std::vector<Value>& out) {
  QBuffer buf(&bytes);
  buf.open(QIODevice::ReadOnly);
  TReader r(buf);
  try {
    while (buf.pos() < bytes.size()) {
      switch (r.NextValue()) {
      case vaList:
        r.ReadListBegin();
        out.emplace_back(ListBegin{});
        break;
      case vaNull:
        r.ReadListEnd();
        out.emplace_back(ListEnd{});
        break;
      case vaInt8:
      case vaInt16:
      case vaInt32:
      case vaInt64:
        out.emplace_back(r.ReadInt64());
        break;
      case vaFalse:
      case vaTrue:
        out.emplace_back(r.ReadBoolean());
        break;
      case vaString:
      case vaLString:
      case vaWString:
      case vaUTF8String:
        out.emplace_back(r.ReadString());
        break;
      case vaBinary:
        out.emplace_back(r.ReadBinary());
        break;
      case vaIdent:
        if (QString id = r.ReadIdent(); !IsSpecialIdent(id))
          out.emplace_back(Ident{id});
        break;
      default:
        r.SkipValue();
        break;
      }
      if (buf.pos() > bytes.size())
        Fail("read past the end");
    }
    return true;
  } catch (const EReadError&) {
    if (buf.pos() > bytes.size())
      Fail("read past the end before failing");
    return false;
  }
}

QByteArray WriteValues(const std::vector<Value>& values) {
  QByteArray out;
  QBuffer buf(&out);
  buf.open(QIODevice::WriteOnly);
  TWriter w(buf);
  for (const Value& v : values) {
    if (std::holds_alternative<ListBegin>(v))
      w.WriteListBegin();
    else if (std::holds_alternative<ListEnd>(v))
      w.WriteListEnd();
    else if (auto* i = std::get_if<int64_t>(&v))
      w.WriteInt64(*i);
    else if (auto* b = std::get_if<bool>(&v))
      w.WriteBoolean(*b);
    else if (auto* s = std::get_if<QString>(&v))
      w.WriteString(*s);
    else if (auto* id = std::get_if<Ident>(&v))
      w.WriteIdent(id->name);
    else
      w.WriteBinary(std::get<QByteArray>(v));
  }
  return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  std::vector<Value> values;
  ReadValues(input, values);

  const QByteArray written = WriteValues(values);
  std::vector<Value> again;
  if (!ReadValues(written, again))
    Fail("what the writer wrote does not read");
  if (again != values)
    Fail("values changed in a write and read");
  if (WriteValues(again) != written)
    Fail("writing the same values twice gave different bytes");
  return 0;
}
