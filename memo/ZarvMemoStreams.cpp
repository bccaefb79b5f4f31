// Loading and saving the control's whole text: the store reads or writes
// the device in the chosen encoding while the control is locked; then the
// selection, view and navigators start from the top, the text is handed to
// formatting by the update mode, and the new content is told.
#include <ZarvMemo/memo/ZarvMemo.h>

#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/support/layout/FormatThread.h>
#include <ZarvMemo/support/navigator/Navigator.h>

#include <QBuffer>
#include <QFile>
#include <QSaveFile>

namespace zarv {

void TZarvMemo::reportProgress(bool force) {
  const uint32_t now = Tick();
  if (!force && now - fLastProgress <= fProgressInterval)
    return;
  fLastProgress = now;
  if (OnProgress)
    OnProgress(*this);
  emit progressed();
}

int32_t TZarvMemo::getFormatCompleted() const {
  if (fLoadingContent)
    return fParagraphs->fLoadPosition;
  if (fSavingContent)
    return fParagraphs->fSavePosition;
  return fParagraphs->fUpdateStopPar < 0 ? GetParCount() : std::max(0, fParagraphs->fUpdateStartPar);
}

template <class Load>
void TZarvMemo::loadContent(QIODevice& stream, Load&& load) {
  fModified = true;
  BeginUpdate();
  fParagraphs->CleanUp();
  ClearUndo(); // the records belong to the text that goes
  for (TZarvNavigator* n : fNavigators)
    n->Invalidate();
  DropUpText();
  fLoadingContent = true;
  fLoadStreamSize = stream.isSequential() ? 0 : stream.size() - stream.pos();
  TzvsLineBreak found = ToStoreLineBreak(fLineBreak);
  auto finish = [&] {
    fLoadingContent = false;
    if (fParagraphs->Count() == 0)
      fParagraphs->EnsureOneParagraph();
    fMaxLineWidth = 0;
    fMaxLineNumber = -1;
    clearSelection(0);
    fExtraCols.clear();
    fXCaretRunningPos = INT32_MIN;
    for (TZarvNavigator* n : fNavigators)
      n->Invalidate(), n->SetPos(0);
    if (OnParse)
      OnParse(*this, 0, getCharCount());
    fTopOrigin = 0;
    fDisplayLeft = 0;
    // The whole text is new: it waits for highlighting and formatting.
    TParagraphsList& L = *fParagraphs;
    L.fLastStartStopParsed = -1;
    L.fModStartPar = 0;
    L.fModStopPar = L.Count() - 1;
    L.fModLinesOffset = 0;
    L.MarkUnformatted();
    fPendingChange = true;
    QPointer<TZarvMemo> self(this);
    reportProgress(true);
    if (!self)
      return;
    EndUpdate();
    if (self)
      DoNotify(fNotifyList, zveNewContent);
  };
  try {
    load(found);
  } catch (...) {
    finish();
    throw;
  }
  if (fOptions.testFlag(zvoAutoLineBreak))
    fLineBreak = FromStoreLineBreak(found);
  finish();
}

void TZarvMemo::LoadFromStream(QIODevice& Stream, std::optional<TzvsEncoding> Encoding) {
  loadContent(Stream, [&](TzvsLineBreak& found) {
    const TzvsLoadResult r = fParagraphs->LoadFromStream(
        Stream, Encoding, fNull, fOptions.testFlag(zvoDiscardTrailingSpaces), found,
        [this](TParagraphsList&) { reportProgress(false); }, fProgressInterval);
    fEncoding = r.Format;
  });
}

void TZarvMemo::LoadFromStream(QIODevice& Stream, bool Ansi) {
  LoadFromStream(Stream, Ansi ? TzvsEncoding::Ansi : TzvsEncoding::Utf16LE);
}

void TZarvMemo::LoadFromFile(const QString& FileName, std::optional<TzvsEncoding> Encoding) {
  QFile f(FileName);
  if (!f.open(QIODevice::ReadOnly))
    throw EStreamError(QStringLiteral("Cannot open file \"%1\": %2").arg(FileName, f.errorString()));
  LoadFromStream(f, Encoding);
}

void TZarvMemo::saveContent(const std::function<void(const TProgressEvent&)>& save) {
  fSavingContent = true;
  try {
    save([this](TParagraphsList&) { reportProgress(false); });
  } catch (...) {
    fSavingContent = false;
    throw;
  }
  fSavingContent = false;
  reportProgress(true);
}

void TZarvMemo::SaveToStream(QIODevice& Stream) {
  saveContent([&](const TProgressEvent& progress) {
    fParagraphs->SaveToStream(Stream, fEncoding, fStripStrayCtrlCodes, fOptions.testFlag(zvoDiscardTrailingSpaces),
                              ToStoreLineBreak(fLineBreak), progress, fProgressInterval);
  });
}

void TZarvMemo::SaveToStream(QIODevice& Stream, bool Ansi) {
  saveContent([&](const TProgressEvent& progress) {
    fParagraphs->SaveToStream(Stream, TzvsTextFormat{Ansi ? TzvsEncoding::Ansi : TzvsEncoding::Utf16LE, false},
                              fStripStrayCtrlCodes, fOptions.testFlag(zvoDiscardTrailingSpaces),
                              ToStoreLineBreak(fLineBreak), progress, fProgressInterval);
  });
}

// The file is replaced only once the whole text was written, so a failed
// save (a full disk) leaves the old file as it was.
void TZarvMemo::SaveToFile(const QString& FileName) {
  QSaveFile f(FileName);
  if (!f.open(QIODevice::WriteOnly))
    throw EStreamError(QStringLiteral("Cannot create file \"%1\": %2").arg(FileName, f.errorString()));
  SaveToStream(f);
  if (!f.commit())
    throw EStreamError(QStringLiteral("Cannot write file \"%1\": %2").arg(FileName, f.errorString()));
}

void TZarvMemo::Clear() {
  QBuffer empty;
  empty.open(QIODevice::ReadOnly);
  LoadFromStream(empty, fEncoding.Encoding);
}

} // namespace zarv
