// TzvKeyListFiles: the files the list editor reads and writes, around the
// key lists' own stored forms.
//
// A list travels as work records (one per key, as the editor shows them)
// in three file forms:
// - a plain list: one key per line; start-stop keys as "start|stop" (a line
//   without "|" is a start key with no stop key);
// - an ini file whose section "Keywords" (keyword lists) or "Sections"
//   (start-stop lists) holds the lists' ini lines; saving rewrites only
//   that section and keeps the rest of the file;
// - a binary file (".kbn"): a header string in the value filer's encoding,
//   "Extended keywords" or "Extended start-stop keys", then the list's
//   binary form.
// Every load reads the whole file into new records first: a damaged or
// foreign file raises EZarvError (EReadError, EConvertError) with a message
// and nothing is returned, so the caller's records stay as they were. A
// file with more keys than a list can number is refused the same way.
// Saving start-stop lists with attributes skips keys without a start key.
#pragma once

#include <ZarvMemo/support/highlight/KeywordList.h>
#include <ZarvMemo/support/highlight/StartStopKeyList.h>

#include <QString>
#include <vector>

namespace zarv {

// One key as the editor holds it.
struct TzvKeyWork {
  QString Key;     // the keyword, or the start key
  QString StopKey; // start-stop lists only
  TKeywordInfo Info{TWordOptions(), 0, 1, 0, clDefault, clDefault};
  TssOptions Flags; // start-stop lists only
  int32_t Scope = 0;
  int32_t Priority = 0;

  friend bool operator==(const TzvKeyWork&, const TzvKeyWork&) = default;
};
using TzvKeyWorks = std::vector<TzvKeyWork>;

class TzvKeyListFiles {
public:
  static inline const QString kKeywordHeader = QStringLiteral("Extended keywords");
  static inline const QString kStartStopHeader = QStringLiteral("Extended start-stop keys");

  // Records from a list and back (Into is cleared first and refilled in one
  // update bracket). Extended lists keep scope and priority.
  static TzvKeyWorks FromList(const TKeywordList& List);
  static TzvKeyWorks FromList(const TStartStopKeyList& List);
  static void ToList(const TzvKeyWorks& Works, TKeywordList& Into);
  static void ToList(const TzvKeyWorks& Works, TStartStopKeyList& Into);

  // StartStop selects the start-stop forms; Extended the extended lists'
  // ini lines (with scope and priority).
  static TzvKeyWorks LoadText(const QString& File, bool StartStop);
  static void SaveText(const QString& File, const TzvKeyWorks& Works, bool StartStop);
  static TzvKeyWorks LoadIni(const QString& File, bool StartStop, bool Extended);
  static void SaveIni(const QString& File, const TzvKeyWorks& Works, bool StartStop, bool Extended);
  static TzvKeyWorks LoadBinary(const QString& File, bool StartStop, bool Extended);
  static void SaveBinary(const QString& File, const TzvKeyWorks& Works, bool StartStop, bool Extended);

  // The most keys a list of the kind holds.
  static int32_t Capacity(bool StartStop);
};

} // namespace zarv
