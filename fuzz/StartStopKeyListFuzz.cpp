// Fuzz target for reading a start-stop key list's binary form.
//
// The input is handed to TStartStopKeyList::ReadData as it is. A malformed
// stream must raise EReadError and leave a consistent list (folded keys,
// chains, check lengths and bounds all agreeing with the entries). Whatever
// was read is written, read into a fresh list and compared field by field,
// and written again byte for byte.
#include <ZarvMemo/platform/FilerError.h>
#include <ZarvMemo/platform/ValueFiler.h>
#include <ZarvMemo/support/highlight/StartStopKeyList.h>

#include <QBuffer>
#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace zarv;

namespace {

[[noreturn]] void Fail(const char* what, const QString& detail = {}) {
  std::fprintf(stderr, "StartStopKeyListFuzz: %s %s\n", what, detail.toStdString().c_str());
  std::abort();
}

void Check(const TStartStopKeyList& list, const char* when) {
  const QString e = list.CheckIntegrity();
  if (!e.isEmpty())
    Fail(when, e);
}

QByteArray Write(const TStartStopKeyList& list) {
  QByteArray out;
  QBuffer buf(&out);
  buf.open(QIODevice::WriteOnly);
  TWriter w(buf);
  list.WriteData(w);
  return out;
}

bool SameEntries(const TStartStopKeyList& a, const TStartStopKeyList& b) {
  if (a.Count() != b.Count())
    return false;
  for (int32_t i = 0; i < a.Count(); ++i) {
    const StartStopInfo& x = a.Entry(i);
    const StartStopInfo& y = b.Entry(i);
    if (x.StartKeyStr != y.StartKeyStr || x.StopKeyStr != y.StopKeyStr || x.StartKey != y.StartKey ||
        x.StopKey != y.StopKey || !(x.Attributes == y.Attributes) || x.Scope != y.Scope || x.Priority != y.Priority ||
        x.ssOptions != y.ssOptions || x.Previous != y.Previous || x.StartCheckLen != y.StartCheckLen)
      return false;
    // Extra keeps 28 bits in the packed value.
    if ((x.Extra << 4) >> 4 != y.Extra)
      return false;
  }
  return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1)
    return 0;
  const auto mode = static_cast<TzvUpperCase>(data[0] % 2);
  QByteArray input(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
  TStartStopKeyList list;
  list.setUpperCaseType(mode);
  list.AddStartStopKey(QStringLiteral("before"), QString(), {}, 0, 1, 0, 0, 0, true);
  QBuffer buf(&input);
  buf.open(QIODevice::ReadOnly);
  TReader r(buf);
  try {
    list.ReadData(r);
  } catch (const EReadError&) {
  }
  if (buf.pos() > input.size())
    Fail("read past the end");
  Check(list, "after reading:");
  if (data[0] & 0x80) {
    // Refolding renews keys and chains; the invariants must still hold.
    list.setUpperCaseType(mode == zvuAscii ? zvuAnsi : zvuAscii);
    Check(list, "after refolding:");
    list.setUpperCaseType(mode);
  }

  const QByteArray written = Write(list);
  TStartStopKeyList back;
  back.setUpperCaseType(mode);
  QByteArray copy = written;
  QBuffer in(&copy);
  in.open(QIODevice::ReadOnly);
  TReader r2(in);
  try {
    back.ReadData(r2);
  } catch (const EReadError& e) {
    Fail("written list does not read:", e.message());
  }
  Check(back, "after reading back:");
  if (!SameEntries(list, back))
    Fail("entries changed in a write and read");
  if (Write(back) != written)
    Fail("second write differs");
  return 0;
}
