// Operations every string list shares, written against the storage
// primitives of the descendant.
#include <ZarvMemo/platform/Strings.h>

#include <ZarvMemo/platform/Exceptions.h>

#include <QFile>
#include <QIODevice>
#include <QStringDecoder>
#include <QStringEncoder>

namespace zarv {

TStrings::~TStrings() = default;

void TStrings::CheckGrowth(qint64 count, qint64 added) {
  if (added > INT32_MAX - count)
    throw EListError();
}

void TStrings::CheckIndex(int32_t index, bool allowEnd) const {
  const int32_t n = GetCount();
  if (index < 0 || index > n || (index == n && !allowEnd))
    throw ERangeError();
}

void TStrings::Put(int32_t index, const QString& s) {
  CheckIndex(index);
  void* object = GetObject(index);
  UpdateLock lock(*this);
  Delete(index);
  InsertObject(index, s, object);
}

void* TStrings::GetObject(int32_t index) const {
  CheckIndex(index);
  return nullptr;
}

void TStrings::PutObject(int32_t index, void*) { CheckIndex(index); }

int32_t TStrings::Add(const QString& s) {
  const int32_t index = GetCount();
  Insert(index, s);
  return index;
}

int32_t TStrings::AddObject(const QString& s, void* object) {
  const int32_t index = Add(s);
  PutObject(index, object);
  return index;
}

void TStrings::InsertObject(int32_t index, const QString& s, void* object) {
  Insert(index, s);
  PutObject(index, object);
}

void TStrings::AddStrings(const TStrings& source) {
  UpdateLock lock(*this);
  const int32_t n = source.GetCount();
  for (int32_t i = 0; i < n; ++i)
    AddObject(source.Get(i), source.GetObject(i));
}

void TStrings::AddStrings(const QStringList& source) {
  UpdateLock lock(*this);
  for (const QString& s : source)
    Add(s);
}

void TStrings::Assign(const TStrings& source) {
  if (&source == this)
    return;
  UpdateLock lock(*this);
  Clear();
  AddStrings(source);
}

int32_t TStrings::IndexOf(const QString& s) const {
  const int32_t n = GetCount();
  for (int32_t i = 0; i < n; ++i)
    if (Get(i).compare(s, Qt::CaseInsensitive) == 0)
      return i;
  return -1;
}

void TStrings::Move(int32_t from, int32_t to) {
  if (from == to)
    return;
  CheckIndex(from);
  CheckIndex(to);
  UpdateLock lock(*this);
  const QString s = Get(from);
  void* object = GetObject(from);
  Delete(from);
  InsertObject(to, s, object);
}

void TStrings::Exchange(int32_t a, int32_t b) {
  if (a == b)
    return;
  CheckIndex(a);
  CheckIndex(b);
  UpdateLock lock(*this);
  const QString sa = Get(a);
  void* oa = GetObject(a);
  Put(a, Get(b));
  PutObject(a, GetObject(b));
  Put(b, sa);
  PutObject(b, oa);
}

QStringList TStrings::ToStringList() const {
  QStringList out;
  const int32_t n = GetCount();
  out.reserve(n);
  for (int32_t i = 0; i < n; ++i)
    out.append(Get(i));
  return out;
}

QString TStrings::GetTextStr() const {
  QString out;
  const int32_t n = GetCount();
  for (int32_t i = 0; i < n; ++i) {
    out += Get(i);
    out += LineBreak;
  }
  return out;
}

void TStrings::SetTextStr(const QString& text) {
  UpdateLock lock(*this);
  Clear();
  const qsizetype n = text.size();
  qsizetype start = 0;
  qsizetype i = 0;
  while (i < n) {
    const QChar c = text[i];
    if (c != u'\r' && c != u'\n') {
      ++i;
      continue;
    }
    Add(text.mid(start, i - start));
    if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
      ++i;
    start = ++i;
  }
  if (start < n)
    Add(text.mid(start));
}

namespace {
using Encoding = QStringConverter::Encoding;

qsizetype BomLength(Encoding enc) {
  switch (enc) {
  case QStringConverter::Utf8:
    return 3;
  case QStringConverter::Utf16LE:
  case QStringConverter::Utf16BE:
    return 2;
  case QStringConverter::Utf32LE:
  case QStringConverter::Utf32BE:
    return 4;
  default:
    return 0;
  }
}

// The mark of a given encoding at the start of bytes, as the encoding with
// its byte order; nothing when the bytes do not start with it. Marks of
// other encodings are text: FF FE 00 00 is a UTF-16LE mark and U+0000 for
// UTF-16LE, although it is also the UTF-32LE mark.
std::optional<Encoding> OwnMark(QByteArrayView bytes, Encoding given) {
  const auto startsWith = [&](const char* mark, qsizetype n) { return bytes.startsWith(QByteArrayView(mark, n)); };
  const bool le16 = startsWith("\xFF\xFE", 2), be16 = startsWith("\xFE\xFF", 2);
  const bool le32 = startsWith("\xFF\xFE\0\0", 4), be32 = startsWith("\0\0\xFE\xFF", 4);
  switch (given) {
  case QStringConverter::Utf8:
    if (startsWith("\xEF\xBB\xBF", 3))
      return given;
    break;
  case QStringConverter::Utf16LE:
    if (le16)
      return given;
    break;
  case QStringConverter::Utf16BE:
    if (be16)
      return given;
    break;
  case QStringConverter::Utf32LE:
    if (le32)
      return given;
    break;
  case QStringConverter::Utf32BE:
    if (be32)
      return given;
    break;
  case QStringConverter::Utf16:
    if (le16 || be16)
      return le16 ? QStringConverter::Utf16LE : QStringConverter::Utf16BE;
    break;
  case QStringConverter::Utf32:
    if (le32 || be32)
      return le32 ? QStringConverter::Utf32LE : QStringConverter::Utf32BE;
    break;
  default:
    break;
  }
  return std::nullopt;
}
} // namespace

void TStrings::LoadFromStream(QIODevice& stream, std::optional<QStringConverter::Encoding> encoding) {
  const QByteArray bytes = stream.readAll();
  // A given encoding wins; only its own mark is skipped. Without one the
  // mark decides, and text without a mark is UTF-8.
  const auto mark = encoding ? OwnMark(bytes, *encoding) : QStringConverter::encodingForData(bytes);
  const QStringConverter::Encoding enc = mark.value_or(encoding.value_or(QStringConverter::Utf8));
  const qsizetype skip = mark ? BomLength(enc) : 0;
  // The mark was dealt with above; a U+FEFF after it is text.
  QStringDecoder decoder(enc, QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
  const QString text = decoder.decode(QByteArrayView(bytes).sliced(skip));
  SetTextStr(text);
  fEncoding = enc;
  fHadBOM = skip > 0;
}

void TStrings::SaveToStream(QIODevice& stream) const { SaveToStream(stream, fEncoding, fHadBOM); }

void TStrings::SaveToStream(QIODevice& stream, QStringConverter::Encoding encoding, bool writeBOM) const {
  // The mark is encoded as a leading U+FEFF: a stateless encoder writes none
  // of its own. 8-bit encodings have no mark.
  const bool unicode =
      BomLength(encoding) > 0 || encoding == QStringConverter::Utf16 || encoding == QStringConverter::Utf32;
  QString text = GetTextStr();
  if (writeBOM && unicode)
    text.prepend(QChar(QChar::ByteOrderMark));
  QStringEncoder encoder(encoding, QStringConverter::Flag::Stateless);
  const QByteArray bytes = encoder.encode(text);
  if (stream.write(bytes) != bytes.size())
    throw EStreamError(QString::fromLatin1(SStreamWriteError));
}

void TStrings::LoadFromFile(const QString& fileName, std::optional<QStringConverter::Encoding> encoding) {
  QFile f(fileName);
  if (!f.open(QIODevice::ReadOnly))
    throw EStreamError(QStringLiteral("Cannot open file \"%1\": %2").arg(fileName, f.errorString()));
  LoadFromStream(f, encoding);
}

void TStrings::SaveToFile(const QString& fileName) const {
  QFile f(fileName);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
    throw EStreamError(QStringLiteral("Cannot create file \"%1\": %2").arg(fileName, f.errorString()));
  SaveToStream(f);
}

void TStrings::BeginUpdate() {
  if (fUpdateCount++ == 0)
    SetUpdateState(true);
}

void TStrings::EndUpdate() {
  Q_ASSERT(fUpdateCount > 0);
  if (fUpdateCount > 0 && --fUpdateCount == 0)
    SetUpdateState(false);
}

void TStrings::SetUpdateState(bool) {}

} // namespace zarv
