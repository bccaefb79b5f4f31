// Encoding and writing of exporter output; see ExportSink.h.
#include <ZarvMemo/export/ExportSink.h>

#include <ZarvMemo/platform/Exceptions.h>

#include <QByteArray>
#include <QIODevice>

namespace zarv {

TExportSink::TExportSink(QIODevice* device, QStringList* lines, TEncoding encoding)
    : fDevice(device), fLines(lines), fEncoding(encoding), fUtf8(QStringEncoder::Utf8) {
  fPending.reserve(kFlushSize + 1024);
}

void TExportSink::writeBytes(const char* data, qint64 size) {
  qint64 done = 0;
  while (done < size) {
    const qint64 n = fDevice->write(data + done, size - done);
    if (n <= 0) {
      const QString why = fDevice->errorString();
      throw EStreamError(QString::fromLatin1(SStreamWriteError) +
                         (why.isEmpty() ? QString() : QStringLiteral(": ") + why));
    }
    done += n;
  }
  fWritten += size;
}

void TExportSink::flush() {
  if (fPending.isEmpty())
    return;
  if (fLines)
    fLine += fPending;
  if (fDevice) {
    switch (fEncoding) {
    case TEncoding::Latin1: {
      const QByteArray b = fPending.toLatin1();
      writeBytes(b.constData(), b.size());
      break;
    }
    case TEncoding::Utf8: {
      // The encoder keeps a high surrogate that ends one piece for the next.
      const QByteArray b = fUtf8.encode(fPending);
      writeBytes(b.constData(), b.size());
      break;
    }
    case TEncoding::Utf16LE:
      writeBytes(reinterpret_cast<const char*>(fPending.utf16()), fPending.size() * 2);
      break;
    }
  }
  fPending.resize(0); // keeps the buffer's capacity
}

void TExportSink::EndLine() {
  if (!fLines) {
    // Toward a device alone, lines are only bytes: write in large pieces.
    fPending.append(QLatin1StringView("\r\n"));
    if (fPending.size() >= kFlushSize)
      flush();
    return;
  }
  flush();
  if (fDevice) {
    if (fEncoding == TEncoding::Utf16LE)
      writeBytes("\r\0\n\0", 4);
    else
      writeBytes("\r\n", 2);
  }
  if (fLines) {
    fLines->append(fLine);
    fLine.clear();
  }
}

} // namespace zarv
