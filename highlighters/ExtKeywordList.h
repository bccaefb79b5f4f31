// TExtKeywordList: a keyword list whose entries carry a scope and a priority.
//
// The extended highlighter decides with them where a keyword may be
// highlighted: scope 0 means at top level (or wherever the priority beats
// the enclosing range's), another scope only inside ranges whose context
// number equals it, priority 32767 everywhere (see TCustomExtHighlighter).
// The base list stores both fields already; this class fills them.
//
// The ini-strings form is the base list's line, read back with scope and
// priority. Unlike the base list, loading is all or nothing: a malformed
// line raises EConvertError and the list keeps the entries it had.
#pragma once

#include <ZarvMemo/support/highlight/KeywordList.h>

namespace zarv {

class TExtKeywordList : public TKeywordList {
public:
  TExtKeywordList() = default;
  // A string list of entries with identity: not copyable; use Assign.
  TExtKeywordList(const TExtKeywordList&) = delete;
  TExtKeywordList& operator=(const TExtKeywordList&) = delete;

  // Adds through AddKeyWord, then gives the entry its scope and priority.
  // Context, scope and priority are 16-bit values.
  int32_t AddExtKeyWord(const QString& Keyword, TWordOptions Options, TZarvFontStyles Style, int16_t Context,
                        int16_t Scope, int16_t Priority, int16_t Cursor, TColor Backgnd, TColor Foregnd);

  int32_t getScope(int32_t index) const { return KeyInfoLen(index).Scope; }
  void setScope(int32_t index, int32_t value);
  int32_t getPriority(int32_t index) const { return KeyInfoLen(index).Priority; }
  void setPriority(int32_t index, int32_t value);

  // Lines "keyword=Options,Style,Context,Cursor,Backgnd,Foregnd[,Scope,
  // Priority]". The key ends at the last "=" of the line, so keys holding
  // "=" (":=", "<=", "==") load as the base list wrote them; lines without a
  // separator are skipped. Raises EConvertError (or EListError past the
  // entry limit) before anything changes.
  void LoadFromIniStrings(const TStrings& strings) override;

private:
  TKeyInfoLen& entry(int32_t index) { return *getKeyList()[size_t(CheckedIndex(index))]; }
  int32_t CheckedIndex(int32_t index) const {
    KeyInfoLen(index); // raises ERangeError outside the list
    return index;
  }
};

} // namespace zarv
