// Fuzz target for loading a start-stop key list from ini strings.
//
// The input, read as UTF-8 text, is split into lines and loaded. A malformed
// number must raise EConvertError and keep the entries of the lines before
// it, in a consistent list. Whatever loaded is saved and loaded again: keys,
// attributes and the paragraph-stop option must come back unchanged, and the
// saved lines must be the same the second time.
#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/platform/StringList.h>
#include <ZarvMemo/support/highlight/StartStopKeyList.h>

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace zarv;

namespace {

[[noreturn]] void Fail(const char* what, const QString& detail = {}) {
  std::fprintf(stderr, "StartStopIniFuzz: %s %s\n", what, detail.toStdString().c_str());
  std::abort();
}

void Check(const TStartStopKeyList& list, const char* when) {
  const QString e = list.CheckIntegrity();
  if (!e.isEmpty())
    Fail(when, e);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  TStringList lines;
  lines.SetText(text);

  TStartStopKeyList list;
  list.AddStartStopKey(QStringLiteral("before"), QString(), {}, 0, 1, 0, 0, 0, false);
  bool failed = false;
  try {
    list.LoadFromIniStrings(lines);
  } catch (const EConvertError&) {
    failed = true;
  }
  Check(list, "after loading:");
  if (!failed && list.Count() > lines.GetCount())
    Fail("more entries than lines");
  for (int32_t i = 0; i < list.Count(); ++i) {
    const StartStopInfo& e = list.Entry(i);
    if (e.Scope != 0 || e.Priority != 0 || e.Extra != 0 || (e.ssOptions & ~TssOptions(ssoParStop)).toInt() != 0)
      Fail("more than the paragraph stop loaded from the text form");
  }

  TStringList saved;
  list.SaveToIniStrings(saved);
  TStartStopKeyList back;
  try {
    back.LoadFromIniStrings(saved);
  } catch (const EConvertError& e) {
    Fail("saved lines do not load:", e.message());
  }
  Check(back, "after reloading:");
  if (back.Count() != list.Count())
    Fail("entry count changed");
  for (int32_t i = 0; i < list.Count(); ++i) {
    const StartStopInfo& x = list.Entry(i);
    const StartStopInfo& y = back.Entry(i);
    if (x.StartKeyStr != y.StartKeyStr || x.StopKeyStr != y.StopKeyStr || !(x.Attributes == y.Attributes) ||
        x.ssOptions != y.ssOptions || x.Previous != y.Previous || x.StartCheckLen != y.StartCheckLen)
      Fail("entry changed in a save and load:", x.StartKeyStr);
  }
  TStringList again;
  back.SaveToIniStrings(again);
  if (again.ToStringList() != saved.ToStringList())
    Fail("second save differs");
  return 0;
}
