// Helpers shared by the regex tests: readable QString failures and short
// conversions from UTF-8 literals.
#pragma once

#include <QString>

#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace zarv::regextest {

inline QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

} // namespace zarv::regextest
