// QIODevice helpers that report failures as exceptions.
#include <ZarvMemo/platform/Stream.h>

#include <ZarvMemo/platform/Exceptions.h>

#include <QFileDevice>

namespace zarv {

namespace {
QString deviceError(const char* what, const QIODevice& dev) {
  QString msg = QString::fromLatin1(what);
  if (!dev.errorString().isEmpty() && dev.errorString() != QLatin1String("Unknown error"))
    msg += QLatin1String(": ") + dev.errorString();
  return msg;
}
} // namespace

void ReadExact(QIODevice& dev, void* buffer, qint64 n) {
  auto* p = static_cast<char*>(buffer);
  while (n > 0) {
    const qint64 got = dev.read(p, n);
    if (got == 0 && dev.isSequential() && dev.waitForReadyRead(-1))
      continue;
    if (got <= 0)
      throw EStreamError(deviceError(SStreamReadError, dev));
    p += got;
    n -= got;
  }
}

void WriteExact(QIODevice& dev, const void* buffer, qint64 n) {
  const auto* p = static_cast<const char*>(buffer);
  while (n > 0) {
    const qint64 put = dev.write(p, n);
    if (put <= 0)
      throw EStreamError(deviceError(SStreamWriteError, dev));
    p += put;
    n -= put;
  }
}

void FlushWrites(QIODevice& dev) {
  if (auto* file = qobject_cast<QFileDevice*>(&dev); file && !file->flush())
    throw EStreamError(deviceError(SStreamWriteError, dev));
}

qint64 StreamRemaining(const QIODevice& dev) {
  if (dev.isSequential())
    return dev.bytesAvailable();
  const qint64 rest = dev.size() - dev.pos();
  return rest > 0 ? rest : 0;
}

void StreamSeek(QIODevice& dev, qint64 pos) {
  if (!dev.seek(pos))
    throw EStreamError(deviceError(SStreamReadError, dev));
}

} // namespace zarv
