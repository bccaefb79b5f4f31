// Console demo: loads a file into an editor control (the encoding found
// from a byte-order mark or the bytes), reports what a user wants to know
// about it, then proves that saving in the format found gives the same
// bytes back. The editor window itself follows.
#include <ZarvMemo/memo/ZarvMemo.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cstdio>

using namespace zarv;

namespace {
const char* breakName(TZarvLineBreak lb) {
  switch (lb) {
  case zbCRLF:
    return "CR LF";
  case zbLFCR:
    return "LF CR";
  case zbCR:
    return "CR";
  case zbLF:
    return "LF";
  }
  return "?";
}

} // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
    return 2;
  }
  const QString name = QString::fromLocal8Bit(argv[1]);
  TZarvMemo memo;
  memo.setOptions(memo.getOptions() | zvoAutoLineBreak);
  QElapsedTimer timer;
  timer.start();
  try {
    memo.LoadFromFile(name);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "load failed: %s\n", e.what());
    return 1;
  }
  const double ms = std::max<double>(timer.nsecsElapsed() / 1e6, 0.001);
  const double mb = double(QFileInfo(name).size()) / (1024.0 * 1024.0);
  const TzvsTextFormat format = memo.TextFormat();
  std::printf("file:          %s (%s%s)\n", argv[1], EncodingName(format.Encoding), format.Bom ? " with mark" : "");
  std::printf("size:          %.2f MB\n", mb);
  std::printf("paragraphs:    %d\n", memo.GetParCount());
  std::printf("characters:    %d (breaks count 2)\n", memo.getCharCount());
  std::printf("line break:    %s%s\n", breakName(memo.getLineBreak()), memo.GetParCount() > 1 ? "" : " (none found)");
  std::printf("load time:     %.1f ms (%.0f MB/s)\n", ms, mb / (ms / 1000.0));
  try {
    memo.CheckIntegrity();
    std::printf("integrity:     ok\n");
  } catch (const std::exception& e) {
    std::printf("integrity:     %s\n", e.what());
  }

  QTemporaryFile out;
  if (!out.open()) {
    std::fprintf(stderr, "cannot create a temporary file\n");
    return 1;
  }
  timer.restart();
  memo.SaveToStream(out);
  out.flush();
  const double saveMs = std::max<double>(timer.nsecsElapsed() / 1e6, 0.001);
  QFile in(name);
  in.open(QIODevice::ReadOnly);
  out.seek(0);
  const bool same = in.readAll() == out.readAll();
  std::printf("save time:     %.1f ms (%.0f MB/s)\n", saveMs, mb / (saveMs / 1000.0));
  std::printf("round trip:    %s\n", same ? "byte-identical" : "DIFFERENT (mixed line breaks or a NUL?)");
  return 0;
}
