// zarvpad --report FILE: loads FILE into an editor control without showing
// a window and prints what it found (encoding, size, paragraphs, line
// break, load and save speed) and whether saving gives the same bytes back.
#pragma once

#include <QString>

namespace zarv::pad {

// Returns the process exit code: 0, or 1 when the file cannot be loaded.
int PrintReport(const QString& fileName);

} // namespace zarv::pad
