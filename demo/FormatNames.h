// Names of text encodings and line breaks as ZarvPad shows them (status
// bar, save options), and the list of choices a save offers. Kept in one
// place so that the status bar and the dialog never disagree.
#pragma once

#include <ZarvMemo/memo/ZarvMemoTypes.h>
#include <ZarvMemo/support/store/TextEncoding.h>

#include <QString>
#include <vector>

namespace zarv::pad {

// "UTF-8", "UTF-8 BOM", "UTF-16 LE", "UTF-16 BE BOM", "8-bit" ...
QString FormatLabel(TzvsTextFormat format);
// "CR LF", "LF", "CR", "LF CR".
QString LineBreakLabel(TZarvLineBreak lineBreak);

// The encodings a save can choose from, in the order the dialog lists them.
const std::vector<TzvsTextFormat>& SaveFormats();
// The line breaks a save can choose from, in the order the dialog lists them.
const std::vector<TZarvLineBreak>& SaveLineBreaks();

} // namespace zarv::pad
