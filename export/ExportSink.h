// TExportSink: where an exporter's output lines go.
//
// A writer appends text piece by piece and ends each line; the sink sends the
// line to a device (encoded, followed by CR LF) and/or to a list of strings.
// Toward a device the text is encoded and written every 64 KB, so a line as
// long as the whole text (a single 100 MB paragraph) never sits in memory
// whole. A device that refuses bytes raises EStreamError at once, naming the
// device's error, so the writer stops where the failure happened.
//
// Invariant: fPending holds only what was appended since the last flush.
#pragma once

#include <QString>
#include <QStringEncoder>
#include <QStringList>
#include <QStringView>

class QIODevice;

namespace zarv {

class TExportSink {
public:
  enum class TEncoding { Latin1, Utf8, Utf16LE };

  // Either target may be null. Latin1 keeps the low byte of every unit and
  // is meant for writers whose output is plain ASCII by construction.
  TExportSink(QIODevice* device, QStringList* lines, TEncoding encoding);
  TExportSink(const TExportSink&) = delete; // owns an encoder state and a pending buffer
  TExportSink& operator=(const TExportSink&) = delete;

  void Append(QStringView s) {
    fPending.append(s);
    if (fPending.size() >= kFlushSize && !fLines)
      flush();
  }
  void Append(QLatin1StringView s) {
    fPending.append(s);
    if (fPending.size() >= kFlushSize && !fLines)
      flush();
  }
  void Append(char16_t c) { fPending.append(QChar(c)); }
  // Ends the current line (CR LF on the device, one string in the list).
  void EndLine();
  // Writes what is pending without ending the line.
  void Flush() { flush(); }
  // Bytes written to the device so far.
  qint64 BytesWritten() const { return fWritten; }

private:
  static constexpr qsizetype kFlushSize = 64 * 1024;
  void flush();
  void writeBytes(const char* data, qint64 size);

  QIODevice* fDevice;
  QStringList* fLines;
  TEncoding fEncoding;
  QStringEncoder fUtf8;
  QString fPending;
  QString fLine; // the line so far when a list is filled
  qint64 fWritten = 0;
};

} // namespace zarv
