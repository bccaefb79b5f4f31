// THandlerGuard: catches an event handler that changes the text.
//
// The highlighters call application handlers (OnKeyword, OnStart, OnStop,
// OnQueryHilit) while they hold positions in a paragraph, its text and its
// codes. A handler that edits the text (or makes the control parse the
// paragraph again) would leave those describing something else. The guard
// records what the caller relies on before the handler runs; Check() after
// it raises EHandlerEditedText when any of it moved, before the caller
// reads anything again.
#pragma once

#include <ZarvMemo/highlighters/HighlighterErrors.h>
#include <ZarvMemo/support/store/ParRecords.h>
#include <ZarvMemo/support/store/ParagraphsList.h>

namespace zarv {

class THandlerGuard {
public:
  THandlerGuard(TParagraphsList& list, int32_t par) : fList(list), fParNb(par) { fBefore = take(); }

  void Check() const {
    if (!(take() == fBefore))
      throw EHandlerEditedText();
  }

private:
  struct TSnapshot {
    int32_t TextLen, Count, ParLen;
    const ParInfo* Par;
    const char16_t* Text;
    const DynInfoRec* Codes;
    size_t CodeCount;
    const DynInfoRec* Start;
    bool operator==(const TSnapshot&) const = default;
  };
  TSnapshot take() const {
    TSnapshot s{fList.fTextLen, fList.Count(), 0, nullptr, nullptr, nullptr, 0, nullptr};
    if (fParNb < 0 || fParNb >= s.Count)
      return s;
    const ParInfo& p = *fList.Par(fParNb);
    const TDynInfoArray& codes = GetDynArray(p);
    s.ParLen = GetParLength(p);
    s.Par = &p;
    s.Text = p.ParText;
    s.Codes = codes.data();
    s.CodeCount = codes.size();
    s.Start = GetStartDynAttrib(p);
    return s;
  }

  TParagraphsList& fList;
  int32_t fParNb;
  TSnapshot fBefore{};
};

} // namespace zarv
