// Calling out to application code that may destroy the caller.
//
// A control calls application code from deep inside its own work: change
// and progress notices, listeners, veto events. Such code may delete the
// control (a plain `delete`, not `deleteLater`). Every frame of the control
// still on the stack would then go on with freed memory. One mechanism
// handles this for every callout:
//
// - The object calls out through a helper that checks, once the application
//   code returned, whether the object still exists. If it does not, the
//   helper throws EOwnerDestroyed.
// - EOwnerDestroyed unwinds the object's frames. Cleanups on the way (update
//   locks, scratch positions, a loader closing its buffers) ask
//   OwnerDestroyed() or DestroyedInFlight() and leave the freed object alone.
// - Each public entry of the object holds a TEntryScope and catches
//   EOwnerDestroyed with SettleDestroyed(): the outermost entry of the
//   destroyed object on this thread returns quietly, inner ones pass it on.
//
// EOwnerDestroyed is not a std::exception, so handlers that report
// std::exception and go on never swallow it by mistake.
#pragma once

namespace zarv {

// Thrown when application code destroyed Owner while Owner called out to it.
struct EOwnerDestroyed {
  const void* Owner;
};

// Marks a public entry of Owner on the current thread for its lifetime.
class TEntryScope {
public:
  explicit TEntryScope(const void* owner);
  ~TEntryScope();
  TEntryScope(const TEntryScope&) = delete; // bound to one stack frame
  TEntryScope& operator=(const TEntryScope&) = delete;

  // Whether an entry of Owner is on the stack of this thread.
  static bool Active(const void* owner);
};

// Throws EOwnerDestroyed for Owner, which application code just destroyed;
// from then until the throw is settled OwnerDestroyed(Owner) holds.
[[noreturn]] void ThrowOwnerDestroyed(const void* owner);

// Whether Owner's frames are being unwound after it was destroyed.
bool OwnerDestroyed(const void* owner);
// Whether any destroyed owner's frames are being unwound on this thread.
bool DestroyedInFlight();

// In the catch handler of a public entry: returns when no entry of the
// destroyed object is left on the stack (this was its outermost one, and
// the unwinding ends here), else throws the exception on. It takes nothing
// of the entry's object: that may be freed memory now, and even a member
// call on it is a use after free.
void SettleDestroyed(const EOwnerDestroyed& e);

// A field of Owner set for a scope: the old value comes back on every way
// out, unless Owner was destroyed meanwhile.
template <class T>
class TFieldScope {
public:
  TFieldScope(const void* owner, T& field, T value) : fOwner(owner), fField(field), fOld(field) { field = value; }
  ~TFieldScope() {
    if (!OwnerDestroyed(fOwner))
      fField = fOld;
  }
  TFieldScope(const TFieldScope&) = delete; // restores once
  TFieldScope& operator=(const TFieldScope&) = delete;

private:
  const void* fOwner;
  T& fField;
  T fOld;
};

// A counter of Owner held one up for a scope (or until Release), on every
// way out, unless Owner was destroyed meanwhile.
template <class T>
class TCountScope {
public:
  TCountScope(const void* owner, T& counter) : fOwner(owner), fCounter(&counter) { ++counter; }
  ~TCountScope() { Release(); }
  void Release() {
    if (fCounter && !OwnerDestroyed(fOwner))
      --*fCounter;
    fCounter = nullptr;
  }
  TCountScope(const TCountScope&) = delete; // releases once
  TCountScope& operator=(const TCountScope&) = delete;

private:
  const void* fOwner;
  T* fCounter;
};

} // namespace zarv
