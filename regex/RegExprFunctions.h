// Free functions over TRegExpr: one-shot matching, splitting and replacing,
// quoting text for use in a pattern, and listing a pattern's groups.
#pragma once

#include <QString>

#include <cstdint>

namespace zarv {

class TStrings;

// Each compiles ARegExpr with the default modifiers in a temporary object.
bool ExecRegExpr(const QString& ARegExpr, const QString& AInputStr);
// Clears APieces, then adds the texts between the matches.
void SplitRegExpr(const QString& ARegExpr, const QString& AInputStr, TStrings& APieces);
QString ReplaceRegExpr(const QString& ARegExpr, const QString& AInputStr, const QString& AReplaceStr,
                       bool AUseSubstitution = false);

// Puts "\" before every character of "^$.[()|?+*\{]}".
QString QuoteRegExprMetaChars(const QString& AStr);

// Lists the groups of ARegExpr in the order of their "(": each item's text
// is the group's inner text and its object (start + (length + 2) * 65536)
// holds the 1-based position of "(" and the group's length with both
// parentheses. Returns 0, -(position + 1) for an unclosed "[", -1 for an
// unclosed "(", or the position of an unmatched ")".
int32_t RegExprSubExpressions(const QString& ARegExpr, TStrings& ASubExprs, bool AExtendedSyntax = false);

} // namespace zarv
