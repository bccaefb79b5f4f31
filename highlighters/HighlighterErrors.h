// The errors the highlighter components raise.
//
// Both are programming errors of the application, reported with fixed texts
// so that callers and tests can compare them.
#pragma once

#include <ZarvMemo/platform/Exceptions.h>

namespace zarv {

inline constexpr const char* SCircularHighlighting = "Circular highlighting references";
inline constexpr const char* SHandlerEditedText =
    "A highlighter event handler changed the text while the text was being highlighted";

// A sub-highlighter chain would lead back to the highlighter it starts at.
class ECircularHighlighting : public EZarvError {
public:
  ECircularHighlighting() : EZarvError(QString::fromLatin1(SCircularHighlighting)) {}
};

// OnKeyword, OnStart, OnStop or OnQueryHilit changed the text (or the codes
// of the paragraph being highlighted). The pass holds positions and codes of
// that paragraph, so it stops instead of working on what they no longer
// describe; the paragraph is left unparsed and is highlighted again later.
class EHandlerEditedText : public EZarvError {
public:
  EHandlerEditedText() : EZarvError(QString::fromLatin1(SHandlerEditedText)) {}
};

} // namespace zarv
