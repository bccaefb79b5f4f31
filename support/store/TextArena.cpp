// Block allocation for loaded text.
#include <ZarvMemo/support/store/TextArena.h>

#include <ZarvMemo/support/store/ParRecords.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <limits>
#include <new>
#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

// Under AddressSanitizer the parts of a block that no buffer owns are
// poisoned, so that a buffer overrun is caught even inside a block.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZARV_ARENA_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define ZARV_ARENA_ASAN 1
#endif
#if defined(ZARV_ARENA_ASAN)
#include <sanitizer/asan_interface.h>
#define ZARV_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define ZARV_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define ZARV_POISON(p, n) ((void)(p), (void)(n))
#define ZARV_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace zarv {

namespace {
constexpr size_t kHugePage = size_t(2) << 20;
constexpr size_t kPage = 4096;
constexpr size_t kHeaderBytes = 8;

size_t roundUp(size_t n, size_t to) { return (n + to - 1) / to * to; }
size_t bufferBytes(int32_t capacity) { return roundUp(kHeaderBytes + size_t(capacity) * sizeof(char16_t), 8); }

std::byte* mapBlock(size_t size) {
#if defined(__linux__)
  const int prot = PROT_READ | PROT_WRITE;
  const int flags = MAP_PRIVATE | MAP_ANONYMOUS;
  if (size < kHugePage) {
    void* p = mmap(nullptr, size, prot, flags, -1, 0);
    if (p == MAP_FAILED)
      throw std::bad_alloc();
    return static_cast<std::byte*>(p);
  }
  // Over-map by one huge page and unmap what lies outside the aligned block.
  void* raw = mmap(nullptr, size + kHugePage, prot, flags, -1, 0);
  if (raw == MAP_FAILED)
    throw std::bad_alloc();
  auto* start = static_cast<std::byte*>(raw);
  auto* aligned = reinterpret_cast<std::byte*>(roundUp(reinterpret_cast<uintptr_t>(start), kHugePage));
  if (aligned > start)
    munmap(start, static_cast<size_t>(aligned - start));
  const size_t after = static_cast<size_t>(start + size + kHugePage - (aligned + size));
  if (after > 0)
    munmap(aligned + size, after);
#if defined(MADV_HUGEPAGE)
  madvise(aligned, size, MADV_HUGEPAGE); // a hint; failure is harmless
#endif
  return aligned;
#else
  void* p = std::malloc(size);
  if (!p)
    throw std::bad_alloc();
  return static_cast<std::byte*>(p);
#endif
}

void unmapBlock(std::byte* base, size_t size) {
  ZARV_UNPOISON(base, size);
#if defined(__linux__)
  munmap(base, size);
#else
  (void)size;
  std::free(base);
#endif
}

std::atomic<int32_t> gBufferChars{0};
std::atomic<int32_t> gTextLimit{0};
} // namespace

TTextArena::~TTextArena() { Clear(); }

char16_t* TTextArena::Alloc(int32_t capacity, size_t expectBytes) {
  if (capacity <= 0)
    return nullptr;
  const size_t bytes = bufferBytes(capacity);
  if (bytes > kMaxBlockBytes)
    return zvAllocStrBuf(capacity);
  if (fBlocks.empty() || fUsed + bytes > fBlocks.back().Size)
    newBlock(bytes, expectBytes);
  std::byte* base = fBlocks.back().Base + fUsed;
  fUsed += bytes;
  fLastBuf = base;
  ZARV_UNPOISON(base, bytes);
  return zvPlaceStrBuf(base, capacity, true);
}

bool TTextArena::ShrinkLast(char16_t* p, int32_t capacity) {
  if (!p || fBlocks.empty() || reinterpret_cast<std::byte*>(p) - kHeaderBytes != fLastBuf || capacity < 0 ||
      capacity > zvStrBufSize(p))
    return false;
  const size_t start = static_cast<size_t>(fLastBuf - fBlocks.back().Base);
  const size_t keep = capacity == 0 ? 0 : bufferBytes(capacity);
  ZARV_POISON(fLastBuf + keep, fUsed - start - keep);
  fUsed = start + keep;
  if (capacity == 0)
    fLastBuf = nullptr;
  else
    zvPlaceStrBuf(fLastBuf, capacity, true);
  return true;
}

void TTextArena::newBlock(size_t atLeast, size_t expectBytes) {
  retireLast();
  size_t size = expectBytes > 0 ? expectBytes : fNextBlock;
  if (expectBytes == 0)
    fNextBlock = std::min(fNextBlock * 2, kMaxBlockBytes);
  size = roundUp(std::clamp(size, atLeast, kMaxBlockBytes), kPage);
  fBlocks.push_back(TBlock{mapBlock(size), size});
  fUsed = 0;
  fLastBuf = nullptr;
  ZARV_POISON(fBlocks.back().Base, size);
}

// Unmaps the whole pages after the last buffer of the last block.
void TTextArena::retireLast() {
  if (fBlocks.empty())
    return;
  TBlock& b = fBlocks.back();
#if defined(__linux__)
  const size_t keep = roundUp(fUsed, kPage);
  if (keep < b.Size) {
    unmapBlock(b.Base + keep, b.Size - keep);
    b.Size = keep;
  }
  if (b.Size == 0)
    fBlocks.pop_back();
#endif
  // Nothing more is carved from it: the next buffer starts a new block.
  fUsed = fBlocks.empty() ? 0 : fBlocks.back().Size;
  fLastBuf = nullptr;
}

void TTextArena::Trim() { retireLast(); }

void TTextArena::Clear() {
  for (const TBlock& b : fBlocks)
    unmapBlock(b.Base, b.Size);
  fBlocks.clear();
  fUsed = 0;
  fLastBuf = nullptr;
  fNextBlock = kMinBlockBytes;
}

size_t TTextArena::Bytes() const {
  size_t n = 0;
  for (const TBlock& b : fBlocks)
    n += b.Size;
  return n;
}

namespace detail {
int32_t LoadBufferChars() {
  const int32_t n = gBufferChars.load(std::memory_order_relaxed);
  return n > 0 ? n : 65500;
}
int32_t LoadTextLimit() {
  const int32_t n = gTextLimit.load(std::memory_order_relaxed);
  return n > 0 ? n : std::numeric_limits<int32_t>::max() - 2;
}
void SetLoadBufferCharsForTesting(int32_t chars) { gBufferChars.store(chars, std::memory_order_relaxed); }
void SetLoadTextLimitForTesting(int32_t chars) { gTextLimit.store(chars, std::memory_order_relaxed); }
} // namespace detail

} // namespace zarv
