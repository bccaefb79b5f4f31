// Block allocation for loaded text.
#include "support/TextArena.h"

#include "support/ParRecords.h"

#include <cstdlib>
#include <new>
#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace zarv {

namespace {
constexpr size_t kHugePage = size_t(2) << 20;
constexpr size_t kHeaderBytes = 8;
} // namespace

void TTextArena::TFree::operator()(std::byte* p) const { std::free(p); }

TTextArena::~TTextArena() = default;

char16_t* TTextArena::Alloc(int32_t capacity) {
  if (capacity <= 0)
    return nullptr;
  const size_t bytes = (kHeaderBytes + size_t(capacity) * sizeof(char16_t) + 7) & ~size_t(7);
  if (bytes > kBlockBytes)
    return zvAllocStrBuf(capacity);
  if (fUsed + bytes > kBlockBytes) {
    void* block = std::aligned_alloc(kHugePage, kBlockBytes);
    if (!block)
      throw std::bad_alloc();
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    madvise(block, kBlockBytes, MADV_HUGEPAGE); // a hint; failure is harmless
#endif
    fBlocks.emplace_back(static_cast<std::byte*>(block));
    fUsed = 0;
  }
  std::byte* base = fBlocks.back().get() + fUsed;
  fUsed += bytes;
  return zvPlaceStrBuf(base, capacity, true);
}

void TTextArena::Clear() {
  fBlocks.clear();
  fUsed = kBlockBytes;
}

} // namespace zarv
