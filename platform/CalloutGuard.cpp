// The per-thread bookkeeping of public entries and of the owners whose
// frames are being unwound after application code destroyed them.
#include <ZarvMemo/platform/CalloutGuard.h>

#include <algorithm>
#include <vector>

namespace zarv {

namespace {

// The owners of the public entries on this thread's stack, innermost last.
std::vector<const void*>& entries() {
  static thread_local std::vector<const void*> e;
  return e;
}

// Owners being unwound after they were destroyed; more than one only when
// a destroyed object's unwinding passes through another's callout.
std::vector<const void*>& destroyed() {
  static thread_local std::vector<const void*> d;
  return d;
}

} // namespace

TEntryScope::TEntryScope(const void* owner) { entries().push_back(owner); }

TEntryScope::~TEntryScope() { entries().pop_back(); }

bool TEntryScope::Active(const void* owner) {
  const auto& e = entries();
  return std::find(e.begin(), e.end(), owner) != e.end();
}

void ThrowOwnerDestroyed(const void* owner) {
  destroyed().push_back(owner);
  throw EOwnerDestroyed{owner};
}

bool OwnerDestroyed(const void* owner) {
  const auto& d = destroyed();
  return std::find(d.begin(), d.end(), owner) != d.end();
}

bool DestroyedInFlight() { return !destroyed().empty(); }

void SettleDestroyed(const EOwnerDestroyed& e) {
  if (TEntryScope::Active(e.Owner))
    throw;
  auto& d = destroyed();
  if (auto it = std::find(d.begin(), d.end(), e.Owner); it != d.end())
    d.erase(it);
}

} // namespace zarv
