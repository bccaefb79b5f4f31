// A set of UTF-16 units given as a string, with a fast path for Latin-1.
//
// The engine's character classes (\w, \s, word boundaries) and the line
// separators are plain strings that a user may change at any time; the
// matcher asks "is this unit in the set?" once per subject unit, so the
// first 256 units answer from a bitmap and only higher units scan the
// string.
#pragma once

#include <QString>

#include <cstdint>

namespace zarv {

class TUnitSet {
public:
  TUnitSet() = default;
  explicit TUnitSet(const QString& units) { Assign(units); }

  void Assign(const QString& units) {
    fUnits = units;
    fLow[0] = fLow[1] = fLow[2] = fLow[3] = 0;
    fHasHigh = false;
    for (QChar c : units) {
      const char16_t u = c.unicode();
      if (u < 256)
        fLow[u >> 6] |= uint64_t(1) << (u & 63);
      else
        fHasHigh = true;
    }
  }
  const QString& Units() const { return fUnits; }
  bool IsEmpty() const { return fUnits.isEmpty(); }

  bool Contains(char16_t u) const {
    if (u < 256)
      return (fLow[u >> 6] >> (u & 63)) & 1;
    return fHasHigh && fUnits.contains(QChar(u));
  }

private:
  QString fUnits;
  uint64_t fLow[4] = {0, 0, 0, 0}; // bit u set when unit u < 256 is a member
  bool fHasHigh = false;           // some member is 256 or above
};

} // namespace zarv
