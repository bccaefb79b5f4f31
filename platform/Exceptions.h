// Exceptions raised by the library.
//
// Every error the library reports to its caller is one of these classes. The
// message texts are fixed: callers and tests compare them, and applications
// may show them to users, so they are spelled out once here.
#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace zarv {

inline constexpr const char* SListIndexError = "List index out of bounds";
inline constexpr const char* STextTooLong = "Text too long";
inline constexpr const char* SStreamReadError = "Stream read error";
inline constexpr const char* SStreamWriteError = "Stream write error";
inline constexpr const char* SListCapacityError = "List capacity out of bounds";

// Base of every library exception. Holds the message as QString for the Qt
// side and as UTF-8 for what().
class EZarvError : public std::exception {
public:
  explicit EZarvError(const QString& message);
  const char* what() const noexcept override { return fUtf8.constData(); }
  const QString& message() const noexcept { return fMessage; }

private:
  QString fMessage;
  QByteArray fUtf8;
};

// An index outside the valid range of a list.
class ERangeError : public EZarvError {
public:
  ERangeError() : EZarvError(QString::fromLatin1(SListIndexError)) {}
};

// A list would grow past the items its indexes can number (2^31 - 1 for
// 32-bit indexes, fewer where an index is stored in fewer bits).
class EListError : public EZarvError {
public:
  EListError() : EZarvError(QString::fromLatin1(SListCapacityError)) {}
};

// A paragraph or a whole text would exceed the 32-bit signed length limit.
class ETextTooLong : public EZarvError {
public:
  ETextTooLong() : EZarvError(QString::fromLatin1(STextTooLong)) {}
};

// Malformed text where a number or another typed value was expected.
class EConvertError : public EZarvError {
public:
  using EZarvError::EZarvError;
};

// A device failed to deliver or accept the bytes asked of it, or delivered a
// stream whose shape is wrong (an odd byte count in UTF-16 text, say).
class EStreamError : public EZarvError {
public:
  using EZarvError::EZarvError;
};

} // namespace zarv
