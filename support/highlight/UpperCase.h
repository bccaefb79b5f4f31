// Case folding of keys and text for case-insensitive matching.
//
// Keys without match-case are stored upper-cased once and compared with an
// upper-cased copy of the text, so both sides must fold the same way, one
// UTF-16 unit in, one unit out (lengths and offsets never change):
// - zvuAscii: only a..z become A..Z;
// - zvuAnsi: every unit through QChar::toUpper (surrogate halves stay);
// - zvuUserDefined: the process-wide UserUpperCaseProc, which folds a
//   NUL-terminated buffer in place; while it is unset, zvuAscii applies.
#pragma once

#include <QString>
#include <cstdint>

namespace zarv {

enum TzvUpperCase : uint8_t { zvuAscii, zvuAnsi, zvuUserDefined };

// Upper-cases the NUL-terminated string t in place, unit for unit.
using TzvUpperCaseProc = void (*)(char16_t* t);

// The folding used by zvuUserDefined in every list and control of the
// process. Set it before lists fold their keys (GUI thread only).
extern TzvUpperCaseProc UserUpperCaseProc;

// Folds buf[0..len) in place; buf[len] must be 0 (the user procedure reads to
// the terminator).
void zvUpperCaseBuf(TzvUpperCase mode, char16_t* buf, int32_t len);

// An upper-cased copy of s.
QString zvUpperCased(TzvUpperCase mode, const QString& s);

} // namespace zarv
