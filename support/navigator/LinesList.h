// A view of the display lines of one paragraph.
//
// A compact paragraph stores no line records; the view rebuilds its one line
// in a scratch record so that callers see every paragraph the same way.
#pragma once

#include <ZarvMemo/support/store/ParRecords.h>

#include <cstdint>

namespace zarv {

class TLinesList {
public:
  explicit TLinesList(ParInfo* par = nullptr) : LLPar(par) {}

  void SetPar(ParInfo* par) { LLPar = par; }
  ParInfo* Par() const { return LLPar; }

  int32_t GetCount() const { return LLPar ? GetLineCount(*LLPar) : 0; }
  // Address of line i (valid until the paragraph changes); ERangeError
  // unless 0 <= i < count.
  LineInfo* GetLinesPointer(int32_t i);
  LineInfo GetItem(int32_t i) { return *GetLinesPointer(i); }
  void SetItem(int32_t i, const LineInfo& line);
  // Keeps max(n, 1) lines; more than one extends a compact paragraph.
  void SetCount(int32_t n);
  int32_t Add(const LineInfo& line);

private:
  LineInfo fFirstLine;
  ParInfo* LLPar;
};

} // namespace zarv
