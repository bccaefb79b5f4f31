// zarv_bench_control: opening large texts in the control, in its default
// background update mode.
//
//   zarv_bench_control [--quick]
//
// For generated C++ texts of 1, 10 and 100 MB (--quick: 1 and 10), each in
// a fresh shown control of 1000 x 800 pixels with word wrap and the C++ key
// set, prints:
// - load: milliseconds to read the 8-bit text into the store;
// - first screen: milliseconds from the end of the load until the lines the
//   window shows are wrapped and highlighted (this must not grow with the
//   text size);
// - background complete: milliseconds until the background slices have
//   wrapped and highlighted the whole text, and the slices and paragraphs
//   of the largest one;
// - resident MB after the load and after the background work.
// Painting is not part of these figures.
//
// MB means 2^20 bytes.
#include "bench/BenchReport.h"
#include "bench/CorpusGen.h"
#include "bench/CppKeys.h"
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/support/store/ParagraphsList.h>

#include <QApplication>
#include <QBuffer>
#include <QByteArray>

#include <cstring>
#include <string>

namespace {

using namespace zarv;
using namespace zarv::bench;

void OpenOne(int64_t bytes) {
  const std::string tag = std::to_string(bytes / MB) + "MB";
  const std::string text = CppCorpus(bytes);
  TZarvMemo memo;
  SetUpKeys(memo);
  memo.resize(1000, 800);
  memo.show();
  QApplication::processEvents();
  QBuffer device;
  device.setData(QByteArray::fromRawData(text.data(), static_cast<qsizetype>(text.size())));
  device.open(QIODevice::ReadOnly);
  // The load ends where the store is filled; the control then formats and
  // highlights what the window shows before LoadFromStream returns.
  Clock::time_point loaded;
  bool seenLoad = false;
  memo.OnProgress = [&](TZarvMemo& m) {
    if (!seenLoad && !m.LoadingContent()) {
      seenLoad = true;
      loaded = Clock::now();
    }
  };
  const Clock::time_point t0 = Clock::now();
  memo.LoadFromStream(device, TzvsEncoding::Ansi);
  const Clock::time_point shown = Clock::now();
  if (!seenLoad)
    loaded = shown;
  const int64_t rssLoaded = ResidentBytes();
  const int32_t top = memo.getTopLine();
  const TParagraphsList& L = memo.Paragraphs();
  for (int32_t p = 0; p < L.Count() && L.Par(p)->StartLine <= top + memo.DisplayLines(); ++p)
    if (!(L.Par(p)->ParState & zvpFormatted))
      Fail(tag + ": paragraph " + std::to_string(p) + " on the first screen is not formatted");
  memo.OnProgress = nullptr;
  while (memo.getFormatCompleted() < memo.GetParCount())
    QApplication::processEvents(QEventLoop::AllEvents, 50);
  const Clock::time_point done = Clock::now();
  Report("load " + tag, Ms(loaded - t0), "ms");
  Report("first screen after load " + tag, Ms(shown - loaded), "ms", 2);
  Report("background complete " + tag, Ms(done - shown), "ms");
  Report("background " + tag, double(bytes) / MB / Seconds(done - shown), "MB/s");
  Report("slices " + tag, memo.SliceCount(), "", 0);
  Report("largest slice " + tag, memo.LargestSlice(), "paragraphs", 0);
  Report("resident after load " + tag, double(rssLoaded) / MB, "MB");
  Report("resident after background " + tag, double(ResidentBytes()) / MB, "MB");
  const QString problem = L.CheckIntegrity();
  if (!problem.isEmpty())
    Fail(tag + ": " + problem.toStdString());
}

} // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  Note("opening C++ texts in a 1000 x 800 control, word wrap, background update mode");
  for (int64_t mb : {1, 10, 100})
    if (!quick || mb < 100)
      OpenOne(mb * MB);
  return gFailed ? 1 : 0;
}
