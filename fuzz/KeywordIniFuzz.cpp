// Fuzz target for loading a keyword list from ini strings.
//
// The input, read as UTF-8 text, is split into lines and loaded. A malformed
// number must raise EConvertError, keep the entries of the lines before it
// and close the update bracket. Whatever loaded is saved and loaded again:
// the entries and the saved lines must come back unchanged.
#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/platform/StringList.h>
#include <ZarvMemo/support/highlight/KeywordList.h>

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace zarv;

namespace {

[[noreturn]] void Fail(const char* what, const QString& detail = {}) {
  std::fprintf(stderr, "KeywordIniFuzz: %s %s\n", what, detail.toStdString().c_str());
  std::abort();
}

void Check(const TKeywordList& list, const char* when) {
  const QString e = list.CheckIntegrity();
  if (!e.isEmpty())
    Fail(when, e);
  if (list.UpdateCount() != 0 || list.Updating())
    Fail(when, QStringLiteral("update bracket left open"));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  TStringList lines;
  lines.SetText(text);

  TKeywordList list;
  list.Add(QStringLiteral("before"));
  bool failed = false;
  try {
    list.LoadFromIniStrings(lines);
  } catch (const EConvertError&) {
    failed = true;
  }
  Check(list, "after loading:");
  if (!failed && list.GetCount() > lines.GetCount())
    Fail("more entries than lines");
  for (int32_t i = 0; i < list.GetCount(); ++i)
    if (list.KeyInfoLen(i).Scope != 0 || list.KeyInfoLen(i).Priority != 0 || list.KeyInfoLen(i).Extra != 0)
      Fail("scope, priority or extra loaded from the text form");

  TStringList saved;
  list.SaveToIniStrings(saved);
  if (saved.GetCount() != list.GetCount())
    Fail("one line per entry expected");
  TKeywordList back;
  try {
    back.LoadFromIniStrings(saved);
  } catch (const EConvertError& e) {
    Fail("saved lines do not load:", e.message());
  }
  Check(back, "after reloading:");
  if (back.GetCount() != list.GetCount())
    Fail("entry count changed");
  for (int32_t i = 0; i < list.GetCount(); ++i)
    if (back.Get(i) != list.Get(i) || !(back.getKeyInfo(i) == list.getKeyInfo(i)))
      Fail("entry changed in a save and load:", list.Get(i));
  TStringList again;
  back.SaveToIniStrings(again);
  if (again.ToStringList() != saved.ToStringList())
    Fail("second save differs");
  return 0;
}
