// The list editor's file containers: plain lists, ini sections and the
// binary form with its header.
#include <ZarvMemo/dialogs/KeyListFiles.h>

#include <ZarvMemo/highlighters/ExtKeywordList.h>
#include <ZarvMemo/highlighters/ExtStartStopList.h>
#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/platform/FilerError.h>
#include <ZarvMemo/platform/StringList.h>
#include <ZarvMemo/platform/ValueFiler.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QStringList>
#include <memory>

namespace zarv {

namespace {

QString Tr(const char* s) { return QCoreApplication::translate("TzvKeyListFiles", s); }

QByteArray ReadFile(const QString& name) {
  QFile f(name);
  if (!f.open(QIODevice::ReadOnly))
    throw EStreamError(Tr("Cannot open %1: %2").arg(name, f.errorString()));
  return f.readAll();
}

// Written to a temporary file and renamed over the old one: a failing
// write never leaves half a file.
void WriteFile(const QString& name, const QByteArray& bytes) {
  QSaveFile f(name);
  if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit())
    throw EStreamError(Tr("Cannot write %1: %2").arg(name, f.errorString()));
}

QStringList Lines(const QByteArray& bytes) {
  QString text = QString::fromUtf8(bytes);
  if (text.startsWith(QChar(0xFEFF)))
    text.remove(0, 1);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QStringList lines = text.split(QLatin1Char('\n'));
  if (!lines.isEmpty() && lines.back().isEmpty())
    lines.pop_back();
  return lines;
}

void CheckCapacity(const TzvKeyWorks& works, bool startStop) {
  if (int64_t(works.size()) > TzvKeyListFiles::Capacity(startStop))
    throw EListError();
}

std::unique_ptr<TKeywordList> KeywordScratch(bool extended) {
  if (extended)
    return std::make_unique<TExtKeywordList>();
  return std::make_unique<TKeywordList>();
}
std::unique_ptr<TStartStopKeyList> StartStopScratch(bool extended) {
  if (extended)
    return std::make_unique<TExtStartStopList>();
  return std::make_unique<TStartStopKeyList>();
}

QString SectionName(bool startStop) { return startStop ? QStringLiteral("Sections") : QStringLiteral("Keywords"); }

bool IsHeader(const QString& line) {
  const QString t = line.trimmed();
  return t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']'));
}
bool IsSection(const QString& line, const QString& name) {
  return IsHeader(line) && line.trimmed().mid(1, line.trimmed().size() - 2).compare(name, Qt::CaseInsensitive) == 0;
}

// Lines first..last (exclusive) of the section's body, or first = -1.
std::pair<int, int> SectionBody(const QStringList& lines, const QString& name) {
  for (int i = 0; i < lines.size(); ++i)
    if (IsSection(lines[i], name)) {
      int j = i + 1;
      while (j < lines.size() && !IsHeader(lines[j]))
        ++j;
      return {i + 1, j};
    }
  return {-1, -1};
}

} // namespace

int32_t TzvKeyListFiles::Capacity(bool StartStop) {
  return StartStop ? TStartStopKeyList::kMaxEntries : TKeywordList::kMaxEntries;
}

TzvKeyWorks TzvKeyListFiles::FromList(const TKeywordList& List) {
  TzvKeyWorks out;
  for (int32_t i = 0; i < List.GetCount(); ++i) {
    const TKeyInfoLen& e = List.KeyInfoLen(i);
    TzvKeyWork w;
    w.Key = e.KeywordOrg;
    w.Info = e.BasicPart;
    w.Scope = e.Scope;
    w.Priority = e.Priority;
    out.push_back(w);
  }
  return out;
}

TzvKeyWorks TzvKeyListFiles::FromList(const TStartStopKeyList& List) {
  TzvKeyWorks out;
  for (int32_t i = 0; i < List.Count(); ++i) {
    const StartStopInfo& e = List.Entry(i);
    TzvKeyWork w;
    w.Key = e.StartKeyStr;
    w.StopKey = e.StopKeyStr;
    w.Info = e.Attributes;
    w.Flags = e.ssOptions;
    w.Scope = e.Scope;
    w.Priority = e.Priority;
    out.push_back(w);
  }
  return out;
}

void TzvKeyListFiles::ToList(const TzvKeyWorks& Works, TKeywordList& Into) {
  CheckCapacity(Works, false);
  // One rebuild (and one change notice) for the whole list.
  TStrings::UpdateLock lock(Into);
  Into.Clear();
  for (const TzvKeyWork& w : Works) {
    const int32_t i = Into.AddKeyWord(w.Key, w.Info.Options, w.Info.Style, w.Info.ContextNumber, w.Info.Cursor,
                                      w.Info.Backgnd, w.Info.Foregnd);
    Into.getKeyList()[size_t(i)]->Scope = w.Scope;
    Into.getKeyList()[size_t(i)]->Priority = w.Priority;
  }
}

void TzvKeyListFiles::ToList(const TzvKeyWorks& Works, TStartStopKeyList& Into) {
  CheckCapacity(Works, true);
  Into.Clear();
  for (const TzvKeyWork& w : Works) {
    const int32_t i = Into.AddStartStopKey(w.Key, w.StopKey, w.Info.Options, w.Info.Style, w.Info.ContextNumber,
                                           w.Info.Cursor, w.Info.Backgnd, w.Info.Foregnd, w.Flags & ssoParStop);
    StartStopInfo& e = Into.Entry(i);
    e.ssOptions = w.Flags;
    e.Scope = w.Scope;
    e.Priority = w.Priority;
  }
}

TzvKeyWorks TzvKeyListFiles::LoadText(const QString& File, bool StartStop) {
  TzvKeyWorks out;
  for (const QString& line : Lines(ReadFile(File))) {
    if (line.isEmpty())
      continue;
    TzvKeyWork w;
    const int bar = StartStop ? line.indexOf(QLatin1Char('|')) : -1;
    w.Key = bar < 0 ? line : line.left(bar);
    w.StopKey = bar < 0 ? QString() : line.mid(bar + 1);
    out.push_back(w);
  }
  CheckCapacity(out, StartStop);
  return out;
}

void TzvKeyListFiles::SaveText(const QString& File, const TzvKeyWorks& Works, bool StartStop) {
  QString text;
  for (const TzvKeyWork& w : Works)
    text += (StartStop ? w.Key + QLatin1Char('|') + w.StopKey : w.Key) + QLatin1Char('\n');
  WriteFile(File, text.toUtf8());
}

TzvKeyWorks TzvKeyListFiles::LoadIni(const QString& File, bool StartStop, bool Extended) {
  const QStringList lines = Lines(ReadFile(File));
  const auto [first, last] = SectionBody(lines, SectionName(StartStop));
  if (first < 0)
    throw EConvertError(Tr("The file has no section [%1]").arg(SectionName(StartStop)));
  TStringList body;
  for (int i = first; i < last; ++i)
    if (!lines[i].trimmed().isEmpty() && !lines[i].startsWith(QLatin1Char(';')))
      body.Add(lines[i]);
  if (body.GetCount() > Capacity(StartStop))
    throw EListError();
  if (StartStop) {
    auto list = StartStopScratch(Extended);
    list->LoadFromIniStrings(body);
    return FromList(*list);
  }
  auto list = KeywordScratch(Extended);
  list->LoadFromIniStrings(body);
  return FromList(*list);
}

void TzvKeyListFiles::SaveIni(const QString& File, const TzvKeyWorks& Works, bool StartStop, bool Extended) {
  TStringList entries;
  if (StartStop) {
    TzvKeyWorks kept;
    for (const TzvKeyWork& w : Works)
      if (!w.Key.isEmpty())
        kept.push_back(w);
    auto list = StartStopScratch(Extended);
    ToList(kept, *list);
    list->SaveToIniStrings(entries);
  } else {
    auto list = KeywordScratch(Extended);
    ToList(Works, *list);
    list->SaveToIniStrings(entries);
  }
  QStringList lines = QFile::exists(File) ? Lines(ReadFile(File)) : QStringList();
  auto [first, last] = SectionBody(lines, SectionName(StartStop));
  if (first < 0) {
    lines << QStringLiteral("[%1]").arg(SectionName(StartStop));
    first = last = int(lines.size());
  }
  lines.erase(lines.begin() + first, lines.begin() + last);
  for (int32_t i = 0; i < entries.GetCount(); ++i)
    lines.insert(first + i, entries.Get(i));
  WriteFile(File, (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
}

TzvKeyWorks TzvKeyListFiles::LoadBinary(const QString& File, bool StartStop, bool Extended) {
  QByteArray bytes = ReadFile(File);
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  TReader reader(buffer);
  const QString header = reader.ReadString();
  if (header != (StartStop ? kStartStopHeader : kKeywordHeader))
    throw EReadError(StartStop ? Tr("File does not contain valid start-stop list")
                               : Tr("File does not contain valid keyword list"));
  if (StartStop) {
    auto list = StartStopScratch(Extended);
    list->ReadData(reader);
    return FromList(*list);
  }
  auto list = KeywordScratch(Extended);
  list->ReadData(reader);
  return FromList(*list);
}

void TzvKeyListFiles::SaveBinary(const QString& File, const TzvKeyWorks& Works, bool StartStop, bool Extended) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  TWriter writer(buffer);
  writer.WriteString(StartStop ? kStartStopHeader : kKeywordHeader);
  if (StartStop) {
    TzvKeyWorks kept;
    for (const TzvKeyWork& w : Works)
      if (!w.Key.isEmpty())
        kept.push_back(w);
    auto list = StartStopScratch(Extended);
    ToList(kept, *list);
    list->WriteData(writer);
  } else {
    auto list = KeywordScratch(Extended);
    ToList(Works, *list);
    list->WriteData(writer);
  }
  WriteFile(File, bytes);
}

} // namespace zarv
