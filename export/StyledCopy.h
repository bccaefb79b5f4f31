// Styled copying: a control whose copies carry RTF and HTML beside the plain
// text, so that pasting into a word processor keeps fonts, styles and
// colours.
#pragma once

namespace zarv {

class TZarvMemo;

// Gives Memo an RTF and an HTML exporter (children of the control) and
// installs them as its copy hook (TZarvMemo::OnCopyMimeData). Calling it
// again replaces nothing and adds nothing.
void EnableStyledCopy(TZarvMemo& Memo);

} // namespace zarv
