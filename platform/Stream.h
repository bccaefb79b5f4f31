// Byte streams over QIODevice.
//
// The text store reads and writes through any QIODevice (QBuffer, QFile).
// These helpers turn the device's short reads and write failures into
// exceptions, so that callers can treat a stream as "all bytes or an error".
#pragma once

#include <QIODevice>
#include <cstdint>

namespace zarv {

// Reads exactly n bytes or throws EStreamError; returns nothing on success.
void ReadExact(QIODevice& dev, void* buffer, qint64 n);

// Writes exactly n bytes or throws EStreamError.
void WriteExact(QIODevice& dev, const void* buffer, qint64 n);

// Bytes between the device position and its end. A sequential device reports
// what it has available; that is all the text a load can see of it.
qint64 StreamRemaining(const QIODevice& dev);

// Moves a random-access device to pos; throws EStreamError when it refuses.
void StreamSeek(QIODevice& dev, qint64 pos);

} // namespace zarv
