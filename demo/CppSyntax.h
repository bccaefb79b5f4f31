// C and C++ files in ZarvPad: which files are highlighted (by the library's
// C++ highlighter), and the word separators the editor uses for them.
#pragma once

#include <QFileInfo>
#include <QString>
#include <QStringList>

namespace zarv::pad {

// By the file name's suffix: .c .cc .cpp .cxx .h .hpp .hh .inl (any case).
inline bool IsCppFile(const QString& fileName) {
  static const QStringList suffixes = {QStringLiteral("c"),   QStringLiteral("cc"), QStringLiteral("cpp"),
                                       QStringLiteral("cxx"), QStringLiteral("h"),  QStringLiteral("hpp"),
                                       QStringLiteral("hh"),  QStringLiteral("inl")};
  return suffixes.contains(QFileInfo(fileName).suffix().toLower());
}

// Word separators for C and C++: white space and every punctuation mark
// but the underscore, so that word moves stop at "(", "#" or "::".
inline QString CppSeparators() { return QStringLiteral("\t\n\r !\"#$%&'()*+,-./:;<=>?@[\\]^`{|}~"); }

} // namespace zarv::pad
