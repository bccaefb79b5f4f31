// TExtStartStopList: a start-stop key list whose entries carry a scope, a
// priority and the whole set of range options.
//
// Scope and priority decide where a range may open (see
// TCustomExtHighlighter); ssoDelStop ends a range at the first separator,
// ssoCollapsible makes it a foldable block. The base list stores all of
// them; this class fills them.
//
// The ini-strings form is the base list's line, read back with scope,
// priority and range options (the short form of seven values has a
// paragraph-stop flag as its seventh). Loading is all or nothing: a
// malformed line raises EConvertError and the list keeps its entries.
#pragma once

#include <ZarvMemo/support/highlight/StartStopKeyList.h>

namespace zarv {

class TExtStartStopList : public TStartStopKeyList {
public:
  TExtStartStopList() = default;
  // Entries are placed in chunks and never move: not copyable; use Assign.
  TExtStartStopList(const TExtStartStopList&) = delete;
  TExtStartStopList& operator=(const TExtStartStopList&) = delete;

  // Adds through AddStartStopKey (paragraph stop from ssOptions), then
  // stores scope, priority and the whole option set in the entry.
  int32_t AddExStartStopKey(const QString& StartKey, const QString& StopKey, TWordOptions Options,
                            TZarvFontStyles Style, int16_t Context, int16_t Scope, int16_t Priority, int16_t Cursor,
                            TColor Backgnd, TColor Foregnd, TssOptions ssOptions);

  int32_t getScope(int32_t index) const { return Entry(index).Scope; }
  void setScope(int32_t index, int32_t value) { Entry(index).Scope = value; }
  int32_t getPriority(int32_t index) const { return Entry(index).Priority; }
  void setPriority(int32_t index, int32_t value) { Entry(index).Priority = value; }

  // Replaces the entries by copies of another list's, every field included.
  void Assign(const TStartStopKeyList& source);

  // Lines "start|stop=Options,Style,Context,Cursor,Backgnd,Foregnd,
  // RangeOptions[,Scope,Priority]" split at the last "=" and the first "|";
  // a key part without "|" is a start key (kept whole) with no stop key.
  // Raises EConvertError (or EListError past the entry limit) before
  // anything changes.
  void LoadFromIniStrings(const TStrings& strings) override;
};

} // namespace zarv
