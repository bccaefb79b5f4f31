// The abort of a checked build when an operation broke an invariant.
#include <ZarvMemo/platform/IntegrityGuard.h>

#ifdef ZARV_CHECKED
#include <cstdio>
#include <cstdlib>

namespace zarv {

void TIntegrityGuard::verify(const char* operation, const QString& violation) {
  if (violation.isEmpty())
    return;
  std::fprintf(stderr, "ZarvMemo checked build: %s broke an invariant: %s\n", operation,
               violation.toLocal8Bit().constData());
  std::fflush(stderr);
  std::abort();
}

} // namespace zarv
#endif
