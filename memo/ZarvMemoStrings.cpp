// The string views: every read goes to the control, every change through
// its selection operations; whole-text loading and saving goes through the
// control's streams, other encodings than the store's through UTF-16 in
// memory.
#include <ZarvMemo/memo/ZarvMemoStrings.h>

#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/platform/ValueFiler.h>
#include <ZarvMemo/support/navigator/Navigator.h>

#include <QBuffer>
#include <QStringDecoder>
#include <QStringEncoder>

namespace zarv {

namespace {

struct TForeignFormat {
  QStringConverter::Encoding Encoding;
  bool Bom;
};

// The encoding bytes were read with, made exact by a byte-order mark at
// their start (a UTF-32 mark gives the byte order), and whether one was
// there.
TForeignFormat foreignFormat(const QByteArray& raw, QStringConverter::Encoding e) {
  if (raw.startsWith(QByteArray("\xFF\xFE\x00\x00", 4)) &&
      (e == QStringConverter::Utf32 || e == QStringConverter::Utf32LE))
    return {QStringConverter::Utf32LE, true};
  if (raw.startsWith(QByteArray("\x00\x00\xFE\xFF", 4)) &&
      (e == QStringConverter::Utf32 || e == QStringConverter::Utf32BE))
    return {QStringConverter::Utf32BE, true};
  QStringEncoder mark(e);
  const QByteArray m = mark(QStringView(u"\uFEFF"));
  return {e, !m.isEmpty() && raw.startsWith(m)};
}

// The store's own encodings; nullopt for those it does not read.
std::optional<TzvsEncoding> storeEncoding(QStringConverter::Encoding e) {
  switch (e) {
  case QStringConverter::Utf8:
  case QStringConverter::System:
    return TzvsEncoding::Utf8;
  case QStringConverter::Utf16:
  case QStringConverter::Utf16LE:
    return TzvsEncoding::Utf16LE;
  case QStringConverter::Utf16BE:
    return TzvsEncoding::Utf16BE;
  case QStringConverter::Latin1:
    return TzvsEncoding::Ansi;
  default:
    return std::nullopt;
  }
}

QByteArray utf16Bytes(const QString& s) { return QByteArray(reinterpret_cast<const char*>(s.utf16()), s.size() * 2); }

} // namespace

// ---- The common base ---------------------------------------------------------------------------------

void TZarvMemoStrings::Assign(const TStrings& source) {
  if (&source == this)
    return;
  QBuffer buffer;
  buffer.open(QIODevice::ReadWrite);
  if (auto* view = dynamic_cast<const TZarvMemoStrings*>(&source)) {
    buffer.write(utf16Bytes(view->Memo.GetTextContent()));
    buffer.seek(0);
    Memo.LoadFromStream(buffer, TzvsEncoding::Utf16LE);
    return;
  }
  source.SaveToStream(buffer, QStringConverter::Utf16LE, false);
  buffer.seek(0);
  Memo.LoadFromStream(buffer, TzvsEncoding::Utf16LE);
}

void TZarvMemoStrings::Clear() { Memo.Clear(); }
QString TZarvMemoStrings::GetTextStr() const { return Memo.GetTextContent(); }
void TZarvMemoStrings::SetTextStr(const QString& text) { Memo.SetTextBuf(text); }

void TZarvMemoStrings::SetUpdateState(bool updating) {
  if (updating)
    Memo.BeginUpdate();
  else
    Memo.EndUpdate();
}

void TZarvMemoStrings::LoadFromStream(QIODevice& stream, std::optional<QStringConverter::Encoding> encoding) {
  if (!encoding || *encoding == QStringConverter::Utf16) {
    Memo.LoadFromStream(stream); // the mark, else the bytes, decide
    return;
  }
  if (const std::optional<TzvsEncoding> own = storeEncoding(*encoding)) {
    Memo.LoadFromStream(stream, *own);
    return;
  }
  const QByteArray raw = stream.readAll();
  QStringDecoder decode(*encoding);
  const QString text = decode(raw);
  QByteArray bytes = utf16Bytes(text);
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  Memo.LoadFromStream(buffer, TzvsEncoding::Utf16LE);
  // Saved as it came: the same converter (the byte order its mark gave),
  // with the mark when it had one.
  const TForeignFormat f = foreignFormat(raw, *encoding);
  Memo.SetForeignEncoding(f.Encoding, f.Bom);
}

void TZarvMemoStrings::SaveToStream(QIODevice& stream) const { Memo.SaveToStream(stream); }

void TZarvMemoStrings::SaveToStream(QIODevice& stream, QStringConverter::Encoding encoding, bool writeBOM) const {
  if (const std::optional<TzvsEncoding> own = storeEncoding(encoding)) {
    Memo.SetTextFormat(TzvsTextFormat{*own, writeBOM && *own != TzvsEncoding::Ansi});
    Memo.SaveToStream(stream);
    return;
  }
  QStringEncoder encode(encoding, writeBOM ? QStringConverter::Flag::WriteBom : QStringConverter::Flag::Default);
  const QByteArray bytes = encode(Memo.GetTextContent());
  if (stream.write(bytes) != bytes.size())
    throw EStreamError(QStringLiteral("Stream write error"));
}

void TZarvMemoStrings::DefineProperties(TFiler& filer) {
  filer.DefineProperty(
      QStringLiteral("Strings"), [this](TReader& r) { ReadData(r); }, [this](TWriter& w) { WriteData(w); },
      Memo.getCharCount() > 0);
}

// The first string read is paragraph 0 (even when empty), every later one
// a new paragraph.
void TZarvMemoStrings::ReadData(TReader& reader) {
  reader.ReadListBegin();
  {
    TZarvMemo::TUpdateLock lock(Memo);
    Memo.Clear();
    for (int32_t n = 0; !reader.EndOfList(); ++n) {
      const QString s = reader.ReadString();
      Memo.setParString(n == 0 ? 0 : Memo.GetParCount(), s);
    }
  }
  reader.ReadListEnd();
}

void TZarvMemoStrings::WriteData(TWriter& writer) const {
  writer.WriteListBegin();
  for (int32_t p = 0; p < Memo.GetParCount(); ++p)
    writer.WriteString(Memo.getParString(p));
  writer.WriteListEnd();
}

// ---- Paragraphs -----------------------------------------------------------------------------------------

int32_t TZarvParaStrings::GetCount() const {
  const int32_t n = Memo.GetParCount();
  return n > 0 && Memo.getParString(n - 1).isEmpty() ? n - 1 : n;
}

QString TZarvParaStrings::Get(int32_t index) const {
  CheckIndex(index);
  return Memo.getParString(index);
}

void TZarvParaStrings::Put(int32_t index, const QString& s) {
  CheckIndex(index);
  Memo.setParString(index, s);
}

void* TZarvParaStrings::GetObject(int32_t index) const {
  CheckIndex(index);
  return zvsGetParObject(*Memo.Paragraphs().Par(index));
}

void TZarvParaStrings::PutObject(int32_t index, void* object) {
  CheckIndex(index);
  zvsSetParObject(*Memo.Paragraphs().Par(index), object);
}

// An empty last paragraph takes the string (and the text keeps ending with
// a break); otherwise the string becomes a new last paragraph.
int32_t TZarvParaStrings::Add(const QString& s) {
  const int32_t n = Memo.GetParCount();
  if (Memo.getParString(n - 1).isEmpty()) {
    Memo.setSelStart(Memo.getCharCount());
    Memo.setSelText(s + QStringLiteral("\r\n"));
  } else {
    Memo.setParString(n, s);
  }
  return GetCount() - 1;
}

void TZarvParaStrings::Delete(int32_t index) {
  CheckIndex(index);
  const int32_t start = Memo.getParsOffset(index);
  const int32_t len = int32_t(Memo.getParString(index).size());
  Memo.setSelStart(start);
  Memo.setSelLength(index + 1 < Memo.GetParCount() ? len + 2 : len);
  Memo.ClearSelection();
}

void TZarvParaStrings::Insert(int32_t index, const QString& s) {
  CheckIndex(index, true);
  if (index >= Memo.GetParCount()) {
    Memo.setSelStart(Memo.getCharCount());
    Memo.setSelText(QStringLiteral("\r\n") + s);
  } else {
    Memo.setSelStart(Memo.getParsOffset(index));
    Memo.setSelText(s + QStringLiteral("\r\n"));
  }
}

// ---- Display lines --------------------------------------------------------------------------------------

int32_t TZarvLinesStrings::GetCount() const {
  const int32_t n = Memo.getTotalLineCount();
  return n > 0 && Memo.getLineString(n - 1).isEmpty() ? n - 1 : n;
}

QString TZarvLinesStrings::Get(int32_t index) const {
  CheckIndex(index);
  return Memo.getLineString(index);
}

void TZarvLinesStrings::Put(int32_t index, const QString& s) {
  CheckIndex(index);
  Memo.setSelLine(index);
  Memo.setSelLength(int32_t(Memo.getLineString(index).size()));
  Memo.setSelText(s);
  Memo.ScrollInView();
}

void TZarvLinesStrings::Delete(int32_t index) {
  CheckIndex(index);
  Memo.setSelLine(index);
  const int32_t start = Memo.getSelStart();
  int32_t len = int32_t(Memo.getLineString(index).size());
  const int32_t par = Memo.getSelPar();
  if (start + len >= Memo.getParsOffset(par) + int32_t(Memo.getParString(par).size()))
    len = std::min(len + 2, Memo.getCharCount() - start); // the break goes with the paragraph's last line
  Memo.setSelStart(start);
  Memo.setSelLength(len);
  Memo.ClearSelection();
  Memo.ScrollInView();
}

int32_t TZarvLinesStrings::Add(const QString& s) {
  TZarvParaStrings paras(Memo);
  paras.Add(s);
  Memo.setSelStart(Memo.getCharCount());
  Memo.ScrollInView();
  return GetCount() - 1;
}

void TZarvLinesStrings::Insert(int32_t index, const QString& s) {
  CheckIndex(index, true);
  if (index >= Memo.getTotalLineCount()) {
    Memo.setSelStart(Memo.getCharCount());
    Memo.setSelText(QStringLiteral("\r\n") + s);
  } else {
    Memo.setSelLine(index);
    Memo.setSelText(s + QStringLiteral("\r\n"));
  }
  Memo.ScrollInView();
}

} // namespace zarv
