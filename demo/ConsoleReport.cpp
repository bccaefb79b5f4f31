// The console report: the control is never shown, so this works with any
// platform plugin, offscreen included.
#include "ConsoleReport.h"

#include "FormatNames.h"

#include <ZarvMemo/memo/ZarvMemo.h>

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <algorithm>
#include <cstdio>

namespace zarv::pad {

int PrintReport(const QString& name) {
  const QByteArray shownName = name.toLocal8Bit();
  TZarvMemo memo;
  memo.setOptions(memo.getOptions() | zvoAutoLineBreak);
  memo.setNullReplacement(0x2400); // as the window shows NULs: never a cut text
  QFile file(name);
  if (!file.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "load failed: %s\n", qPrintable(file.errorString()));
    return 1;
  }
  QElapsedTimer timer;
  timer.start();
  TzvsLoadResult loaded;
  try {
    loaded = memo.LoadFromStream(file);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "load failed: %s\n", e.what());
    return 1;
  }
  const double ms = std::max<double>(timer.nsecsElapsed() / 1e6, 0.001);
  const double mb = double(QFileInfo(name).size()) / (1024.0 * 1024.0);
  const TzvsTextFormat format = memo.TextFormat();
  std::printf("file:          %s (%s%s)\n", shownName.constData(), EncodingName(format.Encoding),
              format.Bom ? " with mark" : "");
  std::printf("size:          %.2f MB\n", mb);
  std::printf("paragraphs:    %d\n", memo.GetParCount());
  std::printf("characters:    %d (breaks count 2)\n", memo.getCharCount());
  std::printf("NUL bytes:     %lld%s\n", static_cast<long long>(loaded.Nuls), loaded.Nuls ? " (shown as U+2400)" : "");
  std::printf("line break:    %s%s\n", qPrintable(LineBreakLabel(memo.getLineBreak())),
              memo.GetParCount() > 1 ? "" : " (none found)");
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

} // namespace zarv::pad
