// Blocks for the text buffers of a load.
//
// Loading fills many new text buffers at once; carving them from a few large
// blocks costs far fewer allocations and page faults than one allocation per
// buffer. Buffers carved from the arena carry the usual capacity header (so
// zvStrBufSize works) and a mark that makes zvFreeStrBuf leave them alone: the
// arena frees its blocks all at once when the store is emptied.
//
// The store pays for exactly what it holds: a block is sized from what the
// loader expects to need (a file's length), the end of the most recent buffer
// can be given back once the loader knows how much of it a paragraph used,
// and the unused end of a block is returned to the system when the next block
// starts or the load ends. On Linux the blocks are mapped directly, blocks of
// 2 MB and more aligned to and marked for transparent huge pages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zarv {

class TTextArena {
public:
  TTextArena() = default;
  ~TTextArena();
  // Owns its blocks: neither copyable nor movable.
  TTextArena(const TTextArena&) = delete;
  TTextArena& operator=(const TTextArena&) = delete;

  // A buffer of `capacity` characters. `expectBytes` is how many bytes of
  // buffers the caller still expects to ask for, this one included (0 when
  // unknown); it sizes a new block. A buffer larger than a block comes from
  // malloc and is not the arena's.
  char16_t* Alloc(int32_t capacity, size_t expectBytes = 0);
  // Gives back the end of the most recent buffer: its capacity becomes
  // `capacity` (0: the whole buffer, which is then invalid). Returns false,
  // changing nothing, when p is not the most recent buffer of the arena.
  bool ShrinkLast(char16_t* p, int32_t capacity);
  // Returns the unused end of the last block to the system; later buffers
  // come from a new block.
  void Trim();
  // Frees every block (buffers from them become invalid).
  void Clear();

  size_t BlockCount() const { return fBlocks.size(); }
  // Bytes of all blocks (on Linux mapped outside malloc's books).
  size_t Bytes() const;

  static constexpr size_t kMaxBlockBytes = size_t(8) << 20;
  // First block when the need is unknown; each further one doubles.
  static constexpr size_t kMinBlockBytes = size_t(64) << 10;

private:
  struct TBlock {
    std::byte* Base;
    size_t Size;
  };
  void newBlock(size_t atLeast, size_t expectBytes);
  void retireLast();

  std::vector<TBlock> fBlocks;
  size_t fUsed = 0;              // bytes used in the last block
  std::byte* fLastBuf = nullptr; // header of the most recent buffer
  size_t fNextBlock = kMinBlockBytes;
};

// Sizes of a load. Tests and fuzz targets shrink them so that short texts
// reach every buffer edge and the length limit; 0 restores the default.
// Not for concurrent loads.
namespace detail {
int32_t LoadBufferChars(); // characters read per shared buffer (65 500)
int32_t LoadTextLimit();   // longest text a load accepts (2^31 - 3)
void SetLoadBufferCharsForTesting(int32_t chars);
void SetLoadTextLimitForTesting(int32_t chars);
} // namespace detail

} // namespace zarv
