// Lines of the ini-strings form shared by the key lists.
//
// A line is "<keys>=<n1>,<n2>,...": the key text, an equals sign, then
// decimal integers each ended by a comma or the end of the line. Numbers
// never contain "=", so the separator is the last "=" of the line; keys that
// contain "=" themselves (":=", "==", "<=") therefore read back as written.
// An "=" only at the very start of the line is part of the key, not a
// separator (such a line has no values and is skipped).
#pragma once

#include <QString>
#include <cstdint>

namespace zarv {

// Index of the separating "=", or -1 when the line has none.
qsizetype KeyIniSeparator(const QString& line);

// Reads the numbers after the separator, left to right.
class TKeyIniValues {
public:
  TKeyIniValues(const QString& line, qsizetype separator) : fLine(line), fPos(separator + 1) {}

  // The next value: up to the next comma or the end of the line. Raises
  // EConvertError when it is not a decimal integer in the 32-bit range (an
  // empty or missing value included).
  int32_t Next();
  // Nothing is left after the values read so far.
  bool AtEnd() const { return fPos >= fLine.size(); }

private:
  const QString& fLine;
  qsizetype fPos;
};

// The six attribute values both list forms begin with, in their order.
struct TKeyIniAttributes {
  int32_t Options, Style, Context, Cursor, Backgnd, Foregnd;
};
TKeyIniAttributes ReadKeyIniAttributes(TKeyIniValues& values);

// A decimal integer: optional leading blanks, an optional sign, digits.
// Raises EConvertError for anything else.
int32_t zvStrToInt(QStringView s);

} // namespace zarv
