// Fuzz target for the styled-fragment reader (SetDynText).
//
// The input, as UTF-16 units, is a fragment read into a control over a small
// styled text. A malformed fragment must raise EZarvError and leave the text
// as it was; one taken must leave a consistent store whose fragment of the
// inserted range has the same text.
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/platform/Exceptions.h>

#include <QApplication>
#include <QtEndian>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace zarv;

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "DynTextFuzz: %s\n", what);
    std::abort();
  }
}

TZarvMemo* memo = nullptr;

} // namespace

// The font library caches the patterns of each new font style it is asked
// for and never frees them; that is not a leak of ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

// The control is made once, before the first input, so that the font
// machinery's own first-use allocations are not taken for leaks.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication app(*argc, *argv);
  static TZarvMemo control;
  control.setUpdateMode(umImmediate);
  control.SetTextBuf(QStringLiteral("warm up"));
  control.DynText(0, 4);
  memo = &control;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString base = QStringLiteral("alpha beta\r\ngamma delta");
  memo->SetTextBuf(base);
  memo->SetDynStyle(2, 14, 1, false, 7, 0, clRed, clBlue, true);
  QString blob(qsizetype(size / 2), Qt::Uninitialized);
  qFromLittleEndian<quint16>(data, qsizetype(size / 2), blob.data());
  try {
    memo->SetDynText(3, 8, blob);
  } catch (const EZarvError&) {
    Check(memo->GetTextContent() == base, "a refused fragment changed the text");
    return 0;
  }
  try {
    memo->CheckIntegrity();
  } catch (const EZarvError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    Check(false, "the store is inconsistent after a fragment");
  }
  return 0;
}
