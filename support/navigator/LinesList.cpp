// Line view of one paragraph.
#include <ZarvMemo/support/navigator/LinesList.h>

#include <ZarvMemo/platform/Exceptions.h>

namespace zarv {

LineInfo* TLinesList::GetLinesPointer(int32_t i) {
  if (!LLPar || i < 0 || i >= GetLineCount(*LLPar))
    throw ERangeError();
  if (!(LLPar->ParState & zvpHasExtra)) {
    fFirstLine = GetFirstLine(*LLPar);
    return &fFirstLine;
  }
  return i == 0 ? &LLPar->ParExtra->FirstLine : &LLPar->ParExtra->Lines[static_cast<size_t>(i - 1)];
}

void TLinesList::SetItem(int32_t i, const LineInfo& line) {
  if (!LLPar || i < 0 || i >= GetLineCount(*LLPar))
    throw ERangeError();
  if (i == 0)
    SetFirstLine(*LLPar, line);
  else
    LLPar->ParExtra->Lines[static_cast<size_t>(i - 1)] = line;
}

void TLinesList::SetCount(int32_t n) {
  if (!LLPar)
    return;
  if (n < 1)
    n = 1;
  if (n > 1)
    SetParExtras(*LLPar);
  if (LLPar->ParState & zvpHasExtra)
    LLPar->ParExtra->Lines.resize(static_cast<size_t>(n - 1));
}

int32_t TLinesList::Add(const LineInfo& line) {
  SetParExtras(*LLPar);
  LLPar->ParExtra->Lines.push_back(line);
  return static_cast<int32_t>(LLPar->ParExtra->Lines.size());
}

} // namespace zarv
