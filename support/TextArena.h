// Large blocks for the text buffers of a load.
//
// Loading fills a few hundred megabytes of new text buffers at once; taking
// them from big blocks that the system may back with huge pages costs far
// fewer page faults than one allocation per 65 500-character buffer. Buffers
// carved from the arena carry the usual capacity header (so zvStrBufSize
// works) and a mark that makes zvFreeStrBuf leave them alone: the arena
// frees its blocks all at once when the store is emptied.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace zarv {

class TTextArena {
public:
  TTextArena() = default;
  ~TTextArena();
  // Owns its blocks: neither copyable nor movable.
  TTextArena(const TTextArena&) = delete;
  TTextArena& operator=(const TTextArena&) = delete;

  // A buffer of `capacity` characters; larger than a block: from malloc.
  char16_t* Alloc(int32_t capacity);
  // Frees every block (buffers from them become invalid).
  void Clear();
  size_t BlockCount() const { return fBlocks.size(); }

  static constexpr size_t kBlockBytes = size_t(8) << 20;

private:
  struct TFree {
    void operator()(std::byte* p) const;
  };
  std::vector<std::unique_ptr<std::byte[], TFree>> fBlocks;
  size_t fUsed = kBlockBytes; // bytes used in the last block
};

} // namespace zarv
