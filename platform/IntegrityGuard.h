// Checked builds: mutating operations end by checking what they touched.
//
// With the CMake option ZARV_CHECKED (on in the sanitizer CI build) every
// ZARV_CHECKED_SCOPE runs its check when the outermost checked operation of
// the thread returns or is left by an exception, and aborts with the
// violation and the operation's name. Operations that call other checked
// operations are checked once, at the end, since the store may be between
// consistent states while the outer one runs. Without the option the macro
// expands to nothing.
#pragma once

#include <ZarvMemo/platform/CalloutGuard.h>

#include <QString>

namespace zarv {

#ifdef ZARV_CHECKED
class TIntegrityGuard {
public:
  using TCheck = QString (*)(const void* subject);

  TIntegrityGuard(const char* operation, const void* subject, TCheck check)
      : fOperation(operation), fSubject(subject), fCheck(check) {
    ++depth();
  }
  ~TIntegrityGuard() {
    // Nothing is left to check when the subject's owner was destroyed by a
    // handler the operation called.
    if (--depth() == 0 && !DestroyedInFlight())
      verify(fOperation, fCheck(fSubject));
  }
  TIntegrityGuard(const TIntegrityGuard&) = delete; // one check per scope
  TIntegrityGuard& operator=(const TIntegrityGuard&) = delete;

private:
  static int& depth() {
    static thread_local int d = 0;
    return d;
  }
  static void verify(const char* operation, const QString& violation);

  const char* fOperation;
  const void* fSubject;
  TCheck fCheck;
};

#define ZARV_CHECKED_SCOPE_CAT2(a, b) a##b
#define ZARV_CHECKED_SCOPE_CAT(a, b) ZARV_CHECKED_SCOPE_CAT2(a, b)
// ZARV_CHECKED_SCOPE("InsertBuf", Type, object, expression using `s`, a const Type&)
#define ZARV_CHECKED_SCOPE(operation, Type, object, expr)                                                              \
  ::zarv::TIntegrityGuard ZARV_CHECKED_SCOPE_CAT(zarvIntegrityGuard,                                                   \
                                                 __LINE__)(operation, &(object), [](const void* subject) -> QString {  \
    const Type& s = *static_cast<const Type*>(subject);                                                                \
    return expr;                                                                                                       \
  })
#else
#define ZARV_CHECKED_SCOPE(operation, Type, object, expr) static_cast<void>(0)
#endif

} // namespace zarv
