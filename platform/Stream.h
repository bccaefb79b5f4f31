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
// On a sequential device it waits for bytes that have not arrived yet.
void ReadExact(QIODevice& dev, void* buffer, qint64 n);

// Writes exactly n bytes or throws EStreamError.
void WriteExact(QIODevice& dev, const void* buffer, qint64 n);

// Hands bytes a file device still buffers to the system, so that a failing
// final write (a full disk, a closed pipe) is reported now rather than lost
// at close; throws EStreamError when the device refuses. Other devices have
// nothing to flush.
void FlushWrites(QIODevice& dev);

// Bytes between the device position and its end. A sequential device only
// reports what it has buffered now, which says nothing about the stream's
// length: read such a device until it ends instead.
qint64 StreamRemaining(const QIODevice& dev);

// Moves a random-access device to pos; throws EStreamError when it refuses.
void StreamSeek(QIODevice& dev, qint64 pos);

} // namespace zarv
