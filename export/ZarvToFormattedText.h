// TZarvToFormattedText: the base of the exporters that turn an editor
// control's styled text into a document (RTF, HTML).
//
// The base links to a control, chooses the range (the whole text or the
// selection), brings its style runs up to date and walks it: paragraph by
// paragraph, in runs of characters that look alike (the static style codes
// embedded in the text and the style runs of highlighting resolved to one
// effective style, foreground, background and context). A writer derived
// from it turns runs into its format and names its clipboard type. The
// output goes to a device, a file (written through QSaveFile, so a failed
// export never leaves a partial file behind as if it were complete), a
// string or the clipboard.
//
// The text must not change while an export runs (OnProgress is the only way
// back into the application): an export that sees the control change stops
// with EZarvError rather than read freed paragraphs. An export of a control
// that is destroyed meanwhile stops the same way.
//
// Invariant: fZarvMemo is null or a live control (QPointer).
#pragma once

#include <ZarvMemo/platform/Color.h>
#include <ZarvMemo/support/store/ParRecords.h>

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

class QIODevice;
class QMimeData;

namespace zarv {

class TZarvMemo;
class TExportSink;

// One stretch of a paragraph that looks alike. Text points into the
// paragraph; From..To is the stretch, Stop the end of the paragraph's part
// in the range (writers look ahead past a run's end, up to Stop). Colours
// are clNone when the control's own colours apply. Style holds the
// effective style bits 0..5 (bold, italic, underline, strike-out,
// highlight, alternative font). Context is the context number of the
// style run in force (0 without one); DynFrom..DynTo is that run's extent
// within the range, for writers that treat it as a whole (links).
struct TExportRun {
  const char16_t* Text = nullptr;
  int32_t From = 0, To = 0, Stop = 0;
  uint8_t Style = 0;
  TColor Fore = clNone, Back = clNone;
  int32_t Context = 0;
  int32_t DynFrom = 0, DynTo = 0;
};

class TZarvToFormattedText : public QObject {
  Q_OBJECT
  Q_PROPERTY(bool DynFormat READ getDynFormat WRITE setDynFormat)

public:
  explicit TZarvToFormattedText(QObject* parent = nullptr);
  ~TZarvToFormattedText() override;

  bool getDynFormat() const { return fDynFormat; }
  void setDynFormat(bool v) { fDynFormat = v; }
  TZarvMemo* getZarvMemo() const { return fZarvMemo; }
  void setZarvMemo(TZarvMemo* m) { fZarvMemo = m; }
  // Called from inside the writing loop, at most once per the control's
  // progress interval, and once at the end.
  std::function<void(TZarvToFormattedText&)> OnProgress;

  // The whole text: to a device (a byte-order mark first with WriteBOM,
  // where the format allows one), to a file, as a string (lines joined and
  // ended with CR LF). Without a control: nothing, or ''. A failing device
  // raises EStreamError; SaveToFile then leaves any earlier file as it was.
  void SaveToStream(QIODevice& Stream, bool UTF8 = true, bool WriteBOM = false);
  void SaveToFile(const QString& FileName, bool UTF8 = true, bool WriteBOM = false);
  QString getText();
  // The selection ('' when it is empty or a column block).
  QString getSelection();
  // The range Start..Stop (offsets, breaks counting two) as a string.
  QString getRange(int32_t Start, int32_t Stop);
  void SaveRangeToStream(int32_t Start, int32_t Stop, QIODevice& Stream, bool UTF8 = true);

  // The MIME type of the format, and the selection in the form the
  // clipboard carries for it.
  virtual QString ClipboardFormat() const = 0;
  virtual QByteArray FormatForClipboard();
  // Adds the selection in this format to Mime (nothing without one).
  virtual void AddToMimeData(QMimeData& Mime);
  // Puts the selection on the clipboard as plain text and in this format.
  void CopyToClipboard();

protected:
  // Writes the range to Sink; Whole tells whether it is the whole text.
  virtual void getFormattedText(int32_t Start, int32_t Stop, bool Whole, TExportSink& Sink) = 0;
  virtual bool supportsUtf16() const { return false; }

  // ---- The walk, for writers ----------------------------------------------------
  class TWalker {
  public:
    virtual ~TWalker() = default;
    // Paragraph ParNb begins (First: the range's first paragraph).
    virtual void beginParagraph(int32_t ParNb, bool First) = 0;
    virtual void run(const TExportRun& Run) = 0;
    virtual void endParagraph(bool Last) = 0;
  };
  // Brings the style runs of the range's paragraphs up to date (when
  // DynFormat is on), keyword runs included.
  void prepareRange(int32_t Start, int32_t Stop);
  // Walks the range, reporting progress and watching for changes.
  void walk(int32_t Start, int32_t Stop, TWalker& W);
  // The style in force at Start: effective style and colours, as a run
  // of no characters.
  TExportRun styleAt(int32_t Start) const;
  // Calls Visit for every colour the range's style runs use (with
  // DynFormat), in text order, repeats included.
  void forEachRunColour(int32_t Start, int32_t Stop, const std::function<void(TColor)>& Visit) const;
  // The colour as RGB through the control's palette (system colours follow
  // the desktop theme).
  QRgb rgbOf(TColor c) const;
  TZarvMemo& memo() const { return *fZarvMemo; }
  bool UTF8Output() const { return fUTF8; }
  bool ToDevice() const { return fToDevice; }

private:
  struct TRange {
    int32_t FirstPar, FirstOff, LastPar, LastOff;
  };
  TRange locate(int32_t Start, int32_t Stop) const;
  void resolve(TExportRun& r, TZarvFontStyles st, const DynInfoRec& d) const;
  void walkParagraph(int32_t p, int32_t a, int32_t b, TWalker& W);
  void progress(bool Final);
  void run(int32_t Start, int32_t Stop, QIODevice* Device, QStringList* Lines, bool UTF8, bool Bom);
  bool selectionRange(int32_t& Start, int32_t& Stop) const;

  bool fDynFormat = true;
  bool fUTF8 = false;
  bool fToDevice = false;
  QPointer<TZarvMemo> fZarvMemo;
  bool fChanged = false;
  int64_t fLastProgress = 0;
  TZarvFontStyles fOwnStyles = 0; // the base font's own styles, during an export
};

} // namespace zarv
