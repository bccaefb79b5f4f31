// A growable array of fixed-size records kept in 32 KB chunks.
//
// Records never move when the array grows, so pointers to them stay valid
// until records are shifted explicitly; a record's address is one division
// away from its index. The paragraph store and the start-stop key list build
// on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace zarv {

// Invariants: every chunk is ChunkBytes long; fCapacity = chunks x
// fElementsPerBuffer; there is at least one chunk once SetCapacity has run;
// 0 <= fCount <= fCapacity.
class TDynArray2 {
public:
  static constexpr int32_t ChunkBytes = 32768;

  // elementSize: bytes copied per record; elementSpace: bytes reserved.
  TDynArray2(int16_t elementSize, int16_t elementSpace);
  virtual ~TDynArray2();
  // Owns its chunks and hands out record pointers: neither copyable nor movable.
  TDynArray2(const TDynArray2&) = delete;
  TDynArray2& operator=(const TDynArray2&) = delete;

  // Address of record i; ERangeError unless 0 <= i < Count.
  void* GetPointer(int32_t i) const;
  // Address of record i without the range check (the caller knows i is valid).
  void* PointerUnchecked(int32_t i) const {
    return fList[static_cast<size_t>(i / fElementsPerBuffer)].get() +
           static_cast<size_t>(i % fElementsPerBuffer) * static_cast<size_t>(fElementSpace);
  }
  void SetCapacity(int32_t n);
  // Negative n counts as 0; grows the capacity when needed, never shrinks it.
  void SetCount(int32_t n);
  // Appends a copy of elementSize bytes from p; returns its index.
  int32_t Add(const void* p);

  int32_t Count() const { return fCount; }
  int32_t Capacity() const { return fCapacity; }
  int32_t ElementsPerBuffer() const { return fElementsPerBuffer; }
  int32_t ElementSpace() const { return fElementSpace; }
  int32_t ChunkCount() const { return static_cast<int32_t>(fList.size()); }
  std::byte* Chunk(int32_t c) const { return fList[static_cast<size_t>(c)].get(); }

protected:
  int16_t fElementSize;
  int16_t fElementSpace;
  std::vector<std::unique_ptr<std::byte[]>> fList;
  int32_t fCount = 0;
  int32_t fCapacity = 0;
  int16_t fElementsPerBuffer;
};

} // namespace zarv
