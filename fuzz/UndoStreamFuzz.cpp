// Fuzz target for the undo-stream reader.
//
// The first four bytes describe the text the list is loaded for: its
// length (low 20 bits) and where it has line breaks (a CR LF every n
// characters, n from the high bits, none for 0); the rest is the stream. The list starts with a record of its own, so
// that a refused stream can be seen to change nothing. A refusal must be EReadError, never a crash or a read past the
// end; a stream taken must give a consistent list that writes back to bytes reading as the same list.
#include <ZarvMemo/memo/ZarvUndoList.h>
#include <ZarvMemo/platform/FilerError.h>

#include <QBuffer>
#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace zarv;

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "UndoStreamFuzz: %s\n", what);
    std::abort();
  }
}

bool Same(const TZarvUndoList& a, const TZarvUndoList& b) {
  if (a.Count() != b.Count() || a.Level() != b.Level() || a.Steps() != b.Steps() || a.TotalSize() != b.TotalSize())
    return false;
  for (int32_t i = 0; i < a.Count(); ++i) {
    const TUndoRecord &x = a.At(i), &y = b.At(i);
    if (x.UndoStart != y.UndoStart || x.UndoStop != y.UndoStop || x.LockCount != y.LockCount ||
        x.UndoText != y.UndoText)
      return false;
  }
  return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4)
    return 0;
  uint32_t head = 0;
  std::memcpy(&head, data, 4);
  const size_t textLength = head & 0xFFFFF; // texts up to a million characters
  const size_t every = head >> 20;
  std::u16string text(textLength, u'x');
  for (size_t i = every; every > 0 && i + 1 < textLength; i += every + 2)
    text[i] = u'\r', text[i + 1] = u'\n';
  QByteArray bytes(reinterpret_cast<const char*>(data + 4), static_cast<qsizetype>(size - 4));
  TZarvUndoList list;
  list.Append(TUndoRecord{0, 0, 0, u"kept"}, 0, 0);
  TZarvUndoList before;
  before.Append(TUndoRecord{0, 0, 0, u"kept"}, 0, 0);
  QBuffer stream(&bytes);
  stream.open(QIODevice::ReadOnly);
  try {
    list.Load(stream, text);
  } catch (const EReadError&) {
    Check(Same(list, before), "a refused stream changed the list");
    return 0;
  }
  Check(list.CheckIntegrity().isEmpty(), "a loaded list is inconsistent");
  QByteArray saved;
  QBuffer out(&saved);
  out.open(QIODevice::WriteOnly);
  list.Save(out);
  out.close();
  QBuffer back(&saved);
  back.open(QIODevice::ReadOnly);
  TZarvUndoList again;
  again.Load(back, text);
  Check(Same(list, again), "the list does not read back as written");
  return 0;
}
