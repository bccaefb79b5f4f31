// C and C++ highlighting for ZarvPad: which files get it, and the keyword
// and start-stop lists that give it (keywords and types in bold colours,
// comments in green italics, literals in dark red).
#pragma once

#include <QString>

namespace zarv {
class TZarvMemo;
}

namespace zarv::pad {

// By the file name's suffix: .c .cc .cpp .cxx .h .hpp .hh .inl (any case).
bool IsCppFile(const QString& fileName);

// Word separators for C and C++: white space and every punctuation mark
// but the underscore, so that keywords are found after "(", "#" or "::".
QString CppSeparators();

// Fills whichever of the control's start-stop and keyword lists is empty
// with the C/C++ set. Filling the keyword list highlights the text again at
// once; emptying it (Keywords().Clear()) takes the keywords away again.
void SetUpCppKeys(TZarvMemo& memo);

} // namespace zarv::pad
