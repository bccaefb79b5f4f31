// Pinning the font a pixel or width test measures with.
//
// A test whose expectations hold only for particular glyph metrics (a
// monospace font, a bold wider than the regular face, strokes thick enough
// to leave fully coloured pixels) names a family of fonts-dejavu-core, which
// scripts/setup-deps.sh installs, and starts with ZARV_REQUIRE_FONT for it.
// Fontconfig answers a request for a missing family with whatever it finds
// closest, so without the check such a test would measure some other
// installed font and fail for reasons unrelated to the code under test; with
// it, the test is skipped and says which font is missing. Tests that only
// compare the canvas with Qt for the same font hold for any font and need
// no pin.
#pragma once

#include <QFont>
#include <QFontInfo>
#include <QString>
#include <gtest/gtest.h>

namespace zarv::test {

// Whether asking for `family` gives that family rather than a substitute.
inline bool FontInstalled(const char* family) {
  return QFontInfo(QFont(QString::fromUtf8(family))).family() == QString::fromUtf8(family);
}

} // namespace zarv::test

// Skips the calling test (or fixture SetUp) unless `family` is installed.
#define ZARV_REQUIRE_FONT(family)                                                                                      \
  if (zarv::test::FontInstalled(family)) {                                                                             \
  } else                                                                                                               \
    GTEST_SKIP() << "font \"" << (family)                                                                              \
                 << "\" is not installed (scripts/setup-deps.sh installs fonts-dejavu-core); "                         \
                 << "this test's pixel and width expectations hold only for it"
