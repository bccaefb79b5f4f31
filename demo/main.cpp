// Console demo: loads a file into a paragraph store and reports what a user
// wants to know about it, then proves that saving gives the same bytes back.
#include <ZarvMemo/platform/TickCount.h>
#include <ZarvMemo/support/store/ParagraphsList.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryFile>
#include <cstdio>

using namespace zarv;

namespace {
const char* breakName(TzvsLineBreak lb) {
  switch (lb) {
  case zsbCRLF:
    return "CR LF";
  case zsbLFCR:
    return "LF CR";
  case zsbCR:
    return "CR";
  case zsbLF:
    return "LF";
  }
  return "?";
}

// UTF-16LE when the file starts with its byte-order mark, else 8-bit.
bool isUtf16(QFile& f) {
  const QByteArray head = f.peek(2);
  return head.size() == 2 && uchar(head[0]) == 0xFF && uchar(head[1]) == 0xFE;
}
} // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
    return 2;
  }
  QFile in(QString::fromLocal8Bit(argv[1]));
  if (!in.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "cannot open %s: %s\n", argv[1], qPrintable(in.errorString()));
    return 1;
  }
  const bool utf16 = isUtf16(in);
  QByteArray bom;
  if (utf16)
    bom = in.read(2);
  TParagraphsList store;
  TzvsLineBreak lb = zsbCRLF;
  QElapsedTimer timer;
  timer.start();
  try {
    store.LoadFromStream(in, !utf16, 0, false, lb);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "load failed: %s\n", e.what());
    return 1;
  }
  const double ms = std::max<double>(timer.nsecsElapsed() / 1e6, 0.001);
  const double mb = double(in.size()) / (1024.0 * 1024.0);
  std::printf("file:          %s (%s)\n", argv[1], utf16 ? "UTF-16LE" : "8-bit");
  std::printf("size:          %.2f MB\n", mb);
  std::printf("paragraphs:    %d\n", store.Count());
  std::printf("characters:    %d (breaks count 2)\n", store.fTextLen);
  std::printf("line break:    %s%s\n", breakName(lb), store.Count() > 1 ? "" : " (none found, default)");
  std::printf("load time:     %.1f ms (%.0f MB/s)\n", ms, mb / (ms / 1000.0));
  const QString integrity = store.CheckIntegrity();
  std::printf("integrity:     %s\n", integrity.isEmpty() ? "ok" : qPrintable(integrity));

  QTemporaryFile out;
  if (!out.open()) {
    std::fprintf(stderr, "cannot create a temporary file\n");
    return 1;
  }
  out.write(bom);
  timer.restart();
  store.SaveToStream(out, !utf16, false, false, lb);
  out.flush();
  const double saveMs = std::max<double>(timer.nsecsElapsed() / 1e6, 0.001);
  in.seek(0);
  out.seek(0);
  const bool same = in.readAll() == out.readAll();
  std::printf("save time:     %.1f ms (%.0f MB/s)\n", saveMs, mb / (saveMs / 1000.0));
  std::printf("round trip:    %s\n", same ? "byte-identical" : "DIFFERENT (mixed line breaks or a NUL?)");
  return 0;
}
