// Loading and saving the control's whole text: the store reads or writes
// the device in the chosen encoding while the control is locked; then the
// selection, view and navigators start from the top, the text is handed to
// formatting by the update mode, and the new content is told.
#include <ZarvMemo/memo/ZarvMemo.h>

#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/platform/Stream.h>
#include <ZarvMemo/support/layout/FormatThread.h>
#include <ZarvMemo/support/navigator/Navigator.h>

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringEncoder>
#include <exception>

namespace zarv {

void TZarvMemo::reportProgress(bool force) {
  const uint32_t now = Tick();
  if (!force && now - fLastProgress <= fProgressInterval)
    return;
  fLastProgress = now;
  callHandler(OnProgress, *this);
  callOut([&] { Q_EMIT progressed(); });
}

int32_t TZarvMemo::getFormatCompleted() const {
  if (fLoadingContent)
    return fParagraphs->fLoadPosition;
  if (fSavingContent)
    return fParagraphs->fSavePosition;
  return fParagraphs->fUpdateStopPar < 0 ? GetParCount() : std::max(0, fParagraphs->fUpdateStartPar);
}

// The store reads the device inside one update bracket. Whether the load
// succeeds or fails, the text that is there then starts afresh: an empty
// undo list (its records belong to the old text), the selection, view and
// navigators at the start, everything waiting for highlighting and
// formatting; OnParse, the progress, the change and zveNewContent are told,
// and a failure is thrown on after that.
template <class Load>
void TZarvMemo::loadContent(QIODevice& stream, Load&& load) {
  std::exception_ptr failure;
  {
    const TUpdateLock lock(*this);
    fModified = true;
    ClearUndo(); // the records belong to the text that goes
    fUndoBreak = true;
    fForeignEncoding.reset();
    fParagraphs->CleanUp();
    for (TZarvNavigator* n : fNavigators)
      n->Invalidate();
    DropUpText();
    fLoadStreamSize = stream.isSequential() ? 0 : stream.size() - stream.pos();
    TzvsLineBreak found = ToStoreLineBreak(fLineBreak);
    {
      const TFieldScope<bool> loading(ownerId(), fLoadingContent, true);
      try {
        load(found);
        if (fOptions.testFlag(zvoAutoLineBreak))
          fLineBreak = FromStoreLineBreak(found);
      } catch (const EOwnerDestroyed&) {
        throw; // a progress handler destroyed the control
      } catch (...) {
        failure = std::current_exception();
      }
    }
    startLoadedText();
    callHandler(OnParse, *this, 0, getCharCount());
    reportProgress(true);
  }
  DoNotify(fNotifyList, zveNewContent);
  if (failure)
    std::rethrow_exception(failure);
}

void TZarvMemo::startLoadedText() {
  if (fParagraphs->Count() == 0)
    fParagraphs->EnsureOneParagraph();
  fMaxLineWidth = 0;
  fMaxLineNumber = -1;
  clearSelection(0);
  fExtraCols.clear();
  fXCaretRunningPos = INT32_MIN;
  for (TZarvNavigator* n : fNavigators)
    n->Invalidate(), n->SetPos(0);
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
}

TzvsLoadResult TZarvMemo::LoadFromStream(QIODevice& Stream, std::optional<TzvsEncoding> Encoding) try {
  const TEntryScope entry(ownerId());
  TzvsLoadResult r;
  loadContent(Stream, [&](TzvsLineBreak& found) {
    r = fParagraphs->LoadFromStream(
        Stream, Encoding, fNull, fOptions.testFlag(zvoDiscardTrailingSpaces), found,
        [this](TParagraphsList&) { reportProgress(false); }, fProgressInterval);
    fEncoding = r.Format;
  });
  return r;
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
  return {};
}

void TZarvMemo::LoadFromStream(QIODevice& Stream, bool Ansi) try {
  const TEntryScope entry(ownerId());
  LoadFromStream(Stream, Ansi ? TzvsEncoding::Ansi : TzvsEncoding::Utf16LE);
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::LoadFromFile(const QString& FileName, std::optional<TzvsEncoding> Encoding) try {
  const TEntryScope entry(ownerId());
  QFile f(FileName);
  if (!f.open(QIODevice::ReadOnly))
    throw EStreamError(QStringLiteral("Cannot open file \"%1\": %2").arg(FileName, f.errorString()));
  LoadFromStream(f, Encoding);
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::saveContent(const std::function<void(const TProgressEvent&)>& save) {
  {
    const TFieldScope<bool> saving(ownerId(), fSavingContent, true);
    save([this](TParagraphsList&) { reportProgress(false); });
  }
  reportProgress(true);
}

void TZarvMemo::SaveToStream(QIODevice& Stream) try {
  const TEntryScope entry(ownerId());
  if (fForeignEncoding) {
    saveForeign(Stream);
    return;
  }
  saveContent([&](const TProgressEvent& progress) {
    fParagraphs->SaveToStream(Stream, fEncoding, fStripStrayCtrlCodes, fOptions.testFlag(zvoDiscardTrailingSpaces),
                              ToStoreLineBreak(fLineBreak), progress, fProgressInterval);
  });
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

// The text as the store writes it in UTF-16, then through Qt's encoder.
void TZarvMemo::saveForeign(QIODevice& Stream) {
  saveContent([&](const TProgressEvent& progress) {
    QBuffer utf16;
    utf16.open(QIODevice::WriteOnly);
    fParagraphs->SaveToStream(utf16, TzvsTextFormat{TzvsEncoding::Utf16LE, false}, fStripStrayCtrlCodes,
                              fOptions.testFlag(zvoDiscardTrailingSpaces), ToStoreLineBreak(fLineBreak), progress,
                              fProgressInterval);
    const QByteArray& units = utf16.data();
    QStringEncoder encode(*fForeignEncoding,
                          fForeignBom ? QStringConverter::Flag::WriteBom : QStringConverter::Flag::Default);
    const QByteArray bytes =
        encode(QStringView(reinterpret_cast<const char16_t*>(units.constData()), units.size() / 2));
    WriteExact(Stream, bytes.constData(), bytes.size());
    FlushWrites(Stream);
  });
}

void TZarvMemo::SaveToStream(QIODevice& Stream, bool Ansi) try {
  const TEntryScope entry(ownerId());
  saveContent([&](const TProgressEvent& progress) {
    fParagraphs->SaveToStream(Stream, TzvsTextFormat{Ansi ? TzvsEncoding::Ansi : TzvsEncoding::Utf16LE, false},
                              fStripStrayCtrlCodes, fOptions.testFlag(zvoDiscardTrailingSpaces),
                              ToStoreLineBreak(fLineBreak), progress, fProgressInterval);
  });
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

// A regular file (or a new one) is replaced only once the whole text was
// written, so a failed save (a full disk) leaves the old file as it was.
// Anything else (a named pipe, a device, a link to one) is written into in
// place: replacing it would turn it into a regular file that its reader
// never sees.
void TZarvMemo::SaveToFile(const QString& FileName) try {
  const TEntryScope entry(ownerId());
  const QFileInfo info(FileName);
  if (info.exists() && !info.isFile()) {
    QFile f(FileName);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
      throw EStreamError(QStringLiteral("Cannot open \"%1\" for writing: %2").arg(FileName, f.errorString()));
    SaveToStream(f);
    f.close();
    if (f.error() != QFileDevice::NoError)
      throw EStreamError(QStringLiteral("Cannot write \"%1\": %2").arg(FileName, f.errorString()));
    return;
  }
  QSaveFile f(FileName);
  if (!f.open(QIODevice::WriteOnly))
    throw EStreamError(QStringLiteral("Cannot create file \"%1\": %2").arg(FileName, f.errorString()));
  SaveToStream(f);
  if (!f.commit())
    throw EStreamError(QStringLiteral("Cannot write file \"%1\": %2").arg(FileName, f.errorString()));
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::Clear() try {
  const TEntryScope entry(ownerId());
  QBuffer empty;
  empty.open(QIODevice::ReadOnly);
  LoadFromStream(empty, fEncoding.Encoding);
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

} // namespace zarv
