// Addresses and mail quoting in ZarvPad.
//
// Addresses are marked in every document: after the language highlighter
// (links in comments and strings too), or on their own in plain text.
// Mail text (".eml", or ".txt" whose lines are quoted with ">") is
// coloured by quote depth, addresses included. A Ctrl+click on an address
// opens it with the desktop's handler (web, mail and news addresses only).
#pragma once

#include <QString>

class QObject;

namespace zarv {
class TZarvMemo;
}

namespace zarv::pad {

// Whether a document is mail text: ".eml", or ".txt" with a line among the
// first few hundred that begins with ">".
bool IsMailText(const QString& fileName, const TZarvMemo& memo);

// Puts the address (and, for mail text, the quote) highlighting on memo
// after its language highlighter was chosen and its text loaded. The
// highlighters are children of owner, made on the first call.
void AttachLinks(TZarvMemo& memo, QObject& owner, const QString& fileName);

} // namespace zarv::pad
