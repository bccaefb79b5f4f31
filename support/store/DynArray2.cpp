// Chunked record array: records live in fixed 32 KB blocks so that growth
// never copies existing records.
#include <ZarvMemo/support/store/DynArray2.h>

#include <ZarvMemo/platform/Exceptions.h>

#include <cstring>

namespace zarv {

TDynArray2::TDynArray2(int16_t elementSize, int16_t elementSpace)
    : fElementSize(elementSize), fElementSpace(elementSpace),
      fElementsPerBuffer(static_cast<int16_t>(ChunkBytes / elementSpace)) {
  Q_ASSERT(elementSpace >= elementSize && elementSpace > 0);
}

TDynArray2::~TDynArray2() = default;

void* TDynArray2::GetPointer(int32_t i) const {
  if (i < 0 || i >= fCount)
    throw ERangeError();
  return PointerUnchecked(i);
}

void TDynArray2::SetCapacity(int32_t n) {
  const int32_t chunks = n <= 0 ? 1 : (n - 1) / fElementsPerBuffer + 1;
  while (static_cast<int32_t>(fList.size()) > chunks)
    fList.pop_back();
  while (static_cast<int32_t>(fList.size()) < chunks)
    fList.push_back(std::make_unique_for_overwrite<std::byte[]>(ChunkBytes));
  fCapacity = chunks * fElementsPerBuffer;
  if (fCount > fCapacity)
    fCount = fCapacity;
}

void TDynArray2::SetCount(int32_t n) {
  if (n < 0)
    n = 0;
  if (n > fCapacity || fList.empty())
    SetCapacity(n);
  fCount = n;
}

int32_t TDynArray2::Add(const void* p) {
  const int32_t i = fCount;
  SetCount(fCount + 1);
  std::memcpy(PointerUnchecked(i), p, static_cast<size_t>(fElementSize));
  return i;
}

} // namespace zarv
