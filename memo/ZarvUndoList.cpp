// The undo list: appending with the level limit, trimming to the space
// limit, and the stream with its checks.
#include <ZarvMemo/memo/ZarvUndoList.h>

#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/platform/FilerError.h>

#include <QIODevice>
#include <QtEndian>
#include <algorithm>

namespace zarv {

void TZarvUndoList::Clear() {
  fRecords.clear();
  fLevel = 0;
  fTotal = 0;
}

void TZarvUndoList::Remove(int32_t i) {
  if (i < 0 || i >= Count())
    throw ERangeError();
  fTotal -= SizeOf(fRecords[size_t(i)]);
  fRecords.erase(fRecords.begin() + i);
  if (i < fLevel)
    --fLevel;
}

void TZarvUndoList::RemoveRedo() {
  while (Count() > fLevel)
    Remove(Count() - 1);
}

void TZarvUndoList::Append(TUndoRecord r, int32_t maxLevel) {
  if (maxLevel > 0) {
    const int32_t drop = std::max(0, fLevel - maxLevel);
    for (int32_t i = 0; i < drop; ++i)
      fTotal -= SizeOf(fRecords[size_t(i)]);
    fRecords.erase(fRecords.begin(), fRecords.begin() + drop);
    fLevel -= drop;
  }
  fTotal += SizeOf(r);
  fRecords.insert(fRecords.begin() + fLevel, std::move(r));
  ++fLevel;
}

void TZarvUndoList::TrimSpace(int32_t maxSpace) {
  if (maxSpace <= 0)
    return;
  while (fTotal > maxSpace && Count() > fLevel)
    Remove(Count() - 1);
  while (fTotal > maxSpace && Count() > 0)
    Remove(0);
}

void TZarvUndoList::TrimLevel(int32_t maxLevel) {
  if (maxLevel < 0)
    return;
  while (Count() > std::max(fLevel, maxLevel))
    Remove(Count() - 1);
  while (fLevel > maxLevel)
    Remove(0);
}

void TZarvUndoList::Replace(int32_t i, TUndoRecord r) {
  fTotal += SizeOf(r) - SizeOf(fRecords[size_t(i)]);
  fRecords[size_t(i)] = std::move(r);
}

namespace {

void writeInt(QIODevice& s, int32_t v) {
  const qint32 le = qToLittleEndian<qint32>(v);
  if (s.write(reinterpret_cast<const char*>(&le), 4) != 4)
    throw EWriteError(QStringLiteral("Stream write error"));
}

int32_t readInt(QIODevice& s) {
  qint32 le = 0;
  if (s.read(reinterpret_cast<char*>(&le), 4) != 4)
    throw EReadError(QStringLiteral("Undo stream: unexpected end of stream"));
  return qFromLittleEndian<qint32>(le);
}

} // namespace

void TZarvUndoList::Save(QIODevice& stream) const {
  writeInt(stream, fLevel);
  writeInt(stream, Count());
  for (const TUndoRecord& r : fRecords) {
    const int32_t size = int32_t(SizeOf(r));
    writeInt(stream, size);
    QByteArray block(qsizetype(size) * 2, '\0');
    qToLittleEndian<qint32>(r.UndoStart, block.data());
    qToLittleEndian<qint32>(r.UndoStop, block.data() + 4);
    qToLittleEndian<qint32>(r.LockCount, block.data() + 8);
    qToLittleEndian<quint16>(r.UndoText.data(), qsizetype(r.UndoText.size()), block.data() + 24);
    if (stream.write(block) != block.size())
      throw EWriteError(QStringLiteral("Stream write error"));
  }
}

void TZarvUndoList::Load(QIODevice& stream, int32_t textLength) {
  const auto bad = [](const QString& what) { return EReadError(QStringLiteral("Undo stream: ") + what); };
  const int32_t level = readInt(stream);
  const int32_t count = readInt(stream);
  if (count < 0 || level < 0 || level > count)
    throw bad(QStringLiteral("impossible level %1 of %2 records").arg(level).arg(count));
  TZarvUndoList loaded;
  for (int32_t i = 0; i < count; ++i) {
    const int32_t size = readInt(stream);
    if (size < kRecordOverhead)
      throw bad(QStringLiteral("record %1 has the impossible size %2").arg(i).arg(size));
    if (!stream.isSequential() && int64_t(size) * 2 > stream.bytesAvailable())
      throw bad(QStringLiteral("record %1 is cut short").arg(i));
    const QByteArray block = stream.read(qint64(size) * 2);
    if (block.size() != qsizetype(size) * 2)
      throw bad(QStringLiteral("record %1 is cut short").arg(i));
    TUndoRecord r;
    r.UndoStart = qFromLittleEndian<qint32>(block.constData());
    r.UndoStop = qFromLittleEndian<qint32>(block.constData() + 4);
    r.LockCount = qFromLittleEndian<qint32>(block.constData() + 8);
    const qsizetype units = size - 12;
    std::u16string text(size_t(units), u'\0');
    qFromLittleEndian<quint16>(block.constData() + 24, units, text.data());
    const size_t zero = text.find(u'\0');
    if (zero == std::u16string::npos)
      throw bad(QStringLiteral("record %1 has no terminating zero").arg(i));
    text.resize(zero);
    r.UndoText = std::move(text);
    if (r.UndoStart < 0 || r.UndoStop < r.UndoStart)
      throw bad(QStringLiteral("record %1 has the impossible range %2..%3").arg(i).arg(r.UndoStart).arg(r.UndoStop));
    loaded.fTotal += SizeOf(r);
    loaded.fRecords.push_back(std::move(r));
  }
  // Undo replays the records below the level from the current text
  // backwards, redo those above it forwards: each must lie inside the text
  // its predecessors leave, which a list made on another text rarely does.
  const auto replay = [&](int32_t i, int64_t& length) {
    const TUndoRecord& r = loaded.fRecords[size_t(i)];
    if (r.UndoStop > length)
      throw bad(QStringLiteral("record %1 ends at %2, after the end of its text (%3): the list belongs to another "
                               "text")
                    .arg(i)
                    .arg(r.UndoStop)
                    .arg(length));
    length += int64_t(r.UndoText.size()) - (r.UndoStop - r.UndoStart);
  };
  int64_t length = textLength;
  for (int32_t i = level - 1; i >= 0; --i)
    replay(i, length);
  length = textLength;
  for (int32_t i = level; i < count; ++i)
    replay(i, length);
  loaded.fLevel = level;
  *this = std::move(loaded);
}

QString TZarvUndoList::CheckIntegrity() const {
  if (fLevel < 0 || fLevel > Count())
    return QStringLiteral("undo level %1 outside 0..%2").arg(fLevel).arg(Count());
  int64_t total = 0;
  for (int32_t i = 0; i < Count(); ++i) {
    const TUndoRecord& r = fRecords[size_t(i)];
    if (r.UndoStart < 0 || r.UndoStop < r.UndoStart)
      return QStringLiteral("undo record %1 has the range %2..%3").arg(i).arg(r.UndoStart).arg(r.UndoStop);
    total += SizeOf(r);
  }
  if (total != fTotal)
    return QStringLiteral("undo space %1, records sum to %2").arg(fTotal).arg(total);
  return {};
}

} // namespace zarv
