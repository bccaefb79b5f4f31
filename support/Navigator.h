// A position in the text of one paragraph store.
//
// A navigator is an absolute character offset (breaks count two). Its
// paragraph, offset in the paragraph, dynamic-code index and display-line
// index are derived lazily from that offset and cached until it moves or
// the text changes. This is the part the store itself needs; the control's
// coordinates (columns, pixels, words) build on it.
#pragma once

#include "support/ParRecords.h"

#include <cstdint>
#include <functional>

namespace zarv {

class TParagraphsList;
class TZarvNavigator;

using TNavigatorEvent = std::function<void(TZarvNavigator& Sender)>;

// Invariants: fPos is always valid; when fPar is set, fParNb is its number
// and fOffset = fPos - StartOffset, 0 <= fOffset <= length + 1; fDynNb and
// fParLine are -1 or correct for fOffset.
class TZarvNavigator {
public:
  // A navigator on a store (nil: not attached yet).
  explicit TZarvNavigator(TParagraphsList* list = nullptr);
  ~TZarvNavigator();
  // Registered by identity with its owner: not copyable; use Assign.
  TZarvNavigator(const TZarvNavigator&) = delete;
  TZarvNavigator& operator=(const TZarvNavigator&) = delete;

  TParagraphsList* List() const { return fList; }
  void SetList(TParagraphsList* list);

  void Assign(const TZarvNavigator& other);
  // Forgets everything but the position.
  void Invalidate();

  int32_t GetPos() const { return fPos; }
  void SetPos(int32_t P);

  int32_t GetParNb();
  ParInfo* GetPar();
  int32_t GetOffset();
  void setParNb(int32_t N);
  void setParOffset(int32_t O);
  int32_t GetDynNb();
  int32_t GetParLine();
  void SetParLine(int32_t L);

  // The character at the position: #13 and #10 for the two halves of a break.
  char16_t GetText();

  // Places the navigator with every cached value known (used by the store
  // after an edit). dynNb and parLine may be -1.
  void SetLocated(int32_t parNb, int32_t offset, int32_t dynNb, int32_t parLine);

  // Expands collapsed style-run blocks around the position. Run blocks are
  // made by highlighters and folded through the control; a bare store never
  // has any, so there is nothing to expand here yet.
  bool ExpandAllLevels() { return false; }

  bool fAdjustRight = false;
  bool fFreeOnDelete = false;
  int32_t fExtra = 0;
  TNavigatorEvent fOnFree;

private:
  void locate();
  TParagraphsList* fList = nullptr;
  int32_t fPos = 0;
  ParInfo* fPar = nullptr;
  int32_t fParNb = -1;
  int32_t fOffset = 0;
  int32_t fDynNb = -1;
  int32_t fParLine = -1;
};

} // namespace zarv
