// A readable text form of a paragraph store, for tests, fuzz targets and
// debugging: one line per paragraph with its text and state, then, as
// asked, its start record and style runs, its display lines and its fold
// state. Two stores that should agree can be compared in one assertion,
// and the first differing line shows where they part.
#pragma once

#include <ZarvMemo/support/store/ParRecords.h>

#include <QFlags>
#include <QString>

namespace zarv {

class TParagraphsList;

enum TDumpPart : uint8_t {
  dpText = 1 << 0,   // the paragraph text (control characters as \xNN)
  dpCodes = 1 << 1,  // start record and style runs
  dpLines = 1 << 2,  // display lines with their widths
  dpBlocks = 1 << 3, // fold level, block start and end, collapsed levels, hidden
  dpStates = 1 << 4, // formatted, start-stop and keyword flags
};
Q_DECLARE_FLAGS(TDumpParts, TDumpPart)
Q_DECLARE_OPERATORS_FOR_FLAGS(TDumpParts)

// One style run: offset (unless withOffset is false), style byte, and with
// attributes its level, keys of the open levels, context, colours, cursor,
// collapse level and state and key lengths.
QString DumpCode(const DynInfoRec& d, bool withOffset = true);

// Paragraphs first..last (all by default) in the parts asked for.
QString DumpStore(const TParagraphsList& L, TDumpParts parts = TDumpParts(dpText | dpCodes), int32_t first = 0,
                  int32_t last = -1);

// Empty when the dumps agree, else the first differing line of each.
QString FirstDifference(const QString& a, const QString& b);

} // namespace zarv
