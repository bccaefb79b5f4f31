// The clipboard core: copying the selection (a stream of text, or the
// rectangle of a column block with the block marker beside it), cutting and
// pasting (a block pastes as a block when blocks are on). Copied text
// carries the control's line break; pasting accepts every break style.
#include <ZarvMemo/memo/ZarvMemo.h>

#include <ZarvMemo/support/navigator/Navigator.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <algorithm>
#include <exception>
#include <memory>

namespace zarv {

const QString TZarvMemo::kBlockMimeType =
    QStringLiteral("application/x-qt-windows-mime;value=\"Borland IDE Block Type\"");

// Row by row (paragraphs of the selection), the characters between the
// block's columns; rows too short give ''. No break after the last row.
QString TZarvMemo::SelectedBlockText() const {
  const int32_t left = std::min(fBlockStartCol, fBlockStopCol), right = std::max(fBlockStartCol, fBlockStopCol);
  const int32_t first = fSelStart->GetParNb(), last = fSelStop->GetParNb();
  QString s;
  for (int32_t p = first; p <= last; ++p) {
    if (p > first)
      s += QStringLiteral("\r\n");
    const int32_t a = ColumnToOffset(p, left), b = ColumnToOffset(p, right);
    s += QString::fromUtf16(fParagraphs->Par(p)->ParText + a, b - a);
  }
  return s;
}

void TZarvMemo::CopyToClipboard() try {
  const TEntryScope entry(ownerId());
  if (fSelLen == 0)
    return;
  QString text = fBlockSelection ? SelectedBlockText() : getSelText();
  if (fOptions.testFlag(zvoPlainClipboard) && fParagraphs->fStaticFormat)
    text.removeIf([](QChar c) { return IsStyleCode(c.unicode()); });
  if (fLineBreak != zbCRLF) {
    const std::u16string_view br = LineBreakChars(ToStoreLineBreak(fLineBreak));
    text.replace(QStringLiteral("\r\n"), QString::fromUtf16(br.data(), qsizetype(br.size())));
  }
  auto mime = std::make_unique<QMimeData>();
  mime->setText(text);
  if (fBlockSelection)
    mime->setData(kBlockMimeType, QByteArray(1, '\x02'));
  else if (OnCopyMimeData) {
    // A failing styled format must not cost the plain text.
    try {
      callHandler(OnCopyMimeData, *this, *mime);
    } catch (const std::exception& e) {
      qWarning("Copy: styled formats left out: %s", e.what());
    }
  }
  QGuiApplication::clipboard()->setMimeData(mime.release());
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::CutToClipboard() try {
  const TEntryScope entry(ownerId());
  if (fReadOnly || fDisplayOnly || fSelLen == 0)
    return;
  CopyToClipboard();
  setSelText(QString());
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

// A paste is always an undo step of its own.
void TZarvMemo::PasteFromClipboard() try {
  const TEntryScope entry(ownerId());
  if (fReadOnly || fDisplayOnly)
    return;
  const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
  if (!mime || !mime->hasText())
    return;
  const QString text = mime->text();
  // A marker with data must hold 2 to mark a column block.
  const QByteArray marker = mime->data(kBlockMimeType);
  const bool block = fOptions.testFlag(zvoBlockSelection) && mime->hasFormat(kBlockMimeType) &&
                     (marker.isEmpty() || marker.at(0) == '\x02');
  TKeepBlockScope kept(*this, fOptions.testFlag(zvoNoOverwriteBlocks));
  fUndoBreak = true;
  if (block)
    InsertBlock(text);
  else
    setSelText(text);
  kept.Close();
  fUndoBreak = true;
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

} // namespace zarv
