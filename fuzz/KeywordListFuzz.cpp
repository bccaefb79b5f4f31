// Fuzz target for reading a keyword list's binary form.
//
// The input is handed to TKeywordList::ReadData as it is. A malformed stream
// must raise EReadError and leave a consistent list; any stream must leave
// the update bracket closed. Whatever was read is written, read into a fresh
// list and compared field by field, and written again byte for byte.
#include <ZarvMemo/platform/FilerError.h>
#include <ZarvMemo/platform/ValueFiler.h>
#include <ZarvMemo/support/highlight/KeywordList.h>

#include <QBuffer>
#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace zarv;

namespace {

[[noreturn]] void Fail(const char* what, const QString& detail = {}) {
  std::fprintf(stderr, "KeywordListFuzz: %s %s\n", what, detail.toStdString().c_str());
  std::abort();
}

void Check(const TKeywordList& list, const char* when) {
  const QString e = list.CheckIntegrity();
  if (!e.isEmpty())
    Fail(when, e);
  if (list.UpdateCount() != 0 || list.Updating())
    Fail(when, QStringLiteral("update bracket left open"));
}

QByteArray Write(const TKeywordList& list) {
  QByteArray out;
  QBuffer buf(&out);
  buf.open(QIODevice::WriteOnly);
  TWriter w(buf);
  list.WriteData(w);
  return out;
}

bool SameEntries(const TKeywordList& a, const TKeywordList& b) {
  if (a.GetCount() != b.GetCount())
    return false;
  for (int32_t i = 0; i < a.GetCount(); ++i) {
    const TKeyInfoLen& x = a.KeyInfoLen(i);
    const TKeyInfoLen& y = b.KeyInfoLen(i);
    if (x.KeywordOrg != y.KeywordOrg || x.KeywordTrans != y.KeywordTrans || !(x.BasicPart == y.BasicPart) ||
        x.Scope != y.Scope || x.Priority != y.Priority || x.Extra != y.Extra)
      return false;
  }
  return true;
}

// A user folding: a..z upper-cased, '-' turned into '_'.
void DashFolding(char16_t* t) {
  for (; *t; ++t)
    *t = *t == u'-' ? u'_' : (*t >= u'a' && *t <= u'z' ? char16_t(*t - 32) : *t);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1)
    return 0;
  // The first byte picks the folding, so that all three modes are exercised.
  UserUpperCaseProc = &DashFolding;
  const auto mode = static_cast<TzvUpperCase>(data[0] % 3);
  QByteArray input(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
  TKeywordList list;
  list.setUpperCaseType(mode);
  list.Add(QStringLiteral("before"));
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

  const QByteArray written = Write(list);
  TKeywordList back;
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
