// Out-of-line parts of the exception classes.
#include <ZarvMemo/platform/Exceptions.h>

namespace zarv {

EZarvError::EZarvError(const QString& message) : fMessage(message), fUtf8(message.toUtf8()) {}

} // namespace zarv
