// Tests of the chunked record array: chunk addressing, growth that never
// moves existing records, and the range check on record access.
#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/support/store/DynArray2.h>

#include <cstdio>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace zarv {
namespace {

struct Rec {
  int32_t id;
  int32_t twice;
  char tag[8];
};

// 16 bytes copied, 24 reserved: 32 768 / 24 = 1 365 records per chunk, so
// chunk boundaries fall where a power-of-two mistake would not hide them.
constexpr int16_t kSize = sizeof(Rec);
constexpr int16_t kSpace = 24;

Rec MakeRec(int32_t i) {
  Rec r{};
  r.id = i;
  r.twice = 2 * i;
  std::snprintf(r.tag, sizeof r.tag, "r%u", static_cast<unsigned>(i) % 100000u);
  return r;
}

const Rec& At(const TDynArray2& a, int32_t i) { return *static_cast<const Rec*>(a.GetPointer(i)); }

void ExpectRangeError(const TDynArray2& a, int32_t i) {
  try {
    a.GetPointer(i);
    ADD_FAILURE() << "GetPointer(" << i << ") with count " << a.Count() << " must raise";
  } catch (const ERangeError& e) {
    EXPECT_EQ(e.message(), QStringLiteral("List index out of bounds"));
  }
}

TEST(DynArray2, AddAppendsCopiesAndReturnsTheirIndexes) {
  TDynArray2 a(kSize, kSpace);
  for (int32_t i = 0; i < 3000; ++i) {
    const Rec r = MakeRec(i);
    ASSERT_EQ(a.Add(&r), i);
  }
  EXPECT_EQ(a.Count(), 3000);
  EXPECT_GE(a.Capacity(), 3000);
  EXPECT_EQ(a.Capacity() % a.ElementsPerBuffer(), 0);
  for (int32_t i = 0; i < 3000; ++i) {
    ASSERT_EQ(At(a, i).id, i);
    ASSERT_EQ(At(a, i).twice, 2 * i);
    ASSERT_STREQ(At(a, i).tag, MakeRec(i).tag);
  }
}

TEST(DynArray2, RecordsSitInTheirChunkAtTheirSlot) {
  TDynArray2 a(kSize, kSpace);
  const int32_t per = a.ElementsPerBuffer();
  a.SetCount(3 * per + 5);
  for (int32_t i : {0, 1, per - 1, per, per + 1, 2 * per, 3 * per + 4}) {
    const auto* expected = a.Chunk(i / per) + static_cast<size_t>(i % per) * kSpace;
    EXPECT_EQ(a.GetPointer(i), static_cast<const void*>(expected)) << i;
    EXPECT_EQ(a.PointerUnchecked(i), a.GetPointer(i)) << i;
  }
}

TEST(DynArray2, GrowingNeverMovesExistingRecords) {
  TDynArray2 a(kSize, kSpace);
  const int32_t per = a.ElementsPerBuffer();
  std::vector<const void*> where;
  for (int32_t i = 0; i < per + 3; ++i) {
    const Rec r = MakeRec(i);
    a.Add(&r);
  }
  for (int32_t i = 0; i < a.Count(); ++i)
    where.push_back(a.GetPointer(i));

  for (int32_t i = a.Count(); i < 4 * per + 1; ++i) {
    const Rec r = MakeRec(i);
    a.Add(&r);
  }
  a.SetCapacity(8 * per);
  a.SetCount(6 * per);
  for (int32_t i = 0; i < static_cast<int32_t>(where.size()); ++i) {
    ASSERT_EQ(a.GetPointer(i), where[static_cast<size_t>(i)]) << i;
    ASSERT_EQ(At(a, i).id, i);
  }
  for (int32_t i = per + 3; i < 4 * per + 1; ++i)
    ASSERT_EQ(At(a, i).twice, 2 * i);
}

TEST(DynArray2, SetCapacityKeepsWholeChunksAndAtLeastOne) {
  TDynArray2 a(kSize, kSpace);
  const int32_t per = a.ElementsPerBuffer();
  struct Case {
    int32_t asked, chunks;
  };
  for (const Case c : {Case{0, 1}, Case{1, 1}, Case{per, 1}, Case{per + 1, 2}, Case{5 * per, 5}, Case{4, 1},
                       Case{3 * per - 1, 3}, Case{0, 1}}) {
    a.SetCapacity(c.asked);
    EXPECT_EQ(a.ChunkCount(), c.chunks) << c.asked;
    EXPECT_EQ(a.Capacity(), c.chunks * per) << c.asked;
  }
}

TEST(DynArray2, ShrinkingTheCapacityKeepsTheRecordsOfTheRemainingChunks) {
  TDynArray2 a(kSize, kSpace);
  const int32_t per = a.ElementsPerBuffer();
  for (int32_t i = 0; i < 3 * per; ++i) {
    const Rec r = MakeRec(i);
    a.Add(&r);
  }
  const void* first = a.GetPointer(per + 7);
  a.SetCount(2 * per);
  a.SetCapacity(2 * per);
  EXPECT_EQ(a.ChunkCount(), 2);
  EXPECT_EQ(a.GetPointer(per + 7), first);
  EXPECT_EQ(At(a, 2 * per - 1).id, 2 * per - 1);
}

TEST(DynArray2, SetCountTreatsNegativeAsZeroAndNeverShrinksTheCapacity) {
  TDynArray2 a(kSize, kSpace);
  const int32_t per = a.ElementsPerBuffer();
  a.SetCount(2 * per + 1);
  EXPECT_EQ(a.Count(), 2 * per + 1);
  EXPECT_EQ(a.Capacity(), 3 * per);
  a.SetCount(3);
  EXPECT_EQ(a.Count(), 3);
  EXPECT_EQ(a.Capacity(), 3 * per);
  a.SetCount(-5);
  EXPECT_EQ(a.Count(), 0);
  EXPECT_EQ(a.Capacity(), 3 * per);
  ExpectRangeError(a, 0);
}

TEST(DynArray2, AccessOutsideTheCountRaisesListIndexOutOfBounds) {
  TDynArray2 a(kSize, kSpace);
  ExpectRangeError(a, 0);
  ExpectRangeError(a, -1);
  const int32_t per = a.ElementsPerBuffer();
  for (int32_t i = 0; i < per + 2; ++i) {
    const Rec r = MakeRec(i);
    a.Add(&r);
  }
  // The capacity reaches into the second chunk; only the count decides.
  ExpectRangeError(a, -1);
  ExpectRangeError(a, a.Count());
  ExpectRangeError(a, a.Capacity() - 1);
  ExpectRangeError(a, a.Capacity());
  ExpectRangeError(a, std::numeric_limits<int32_t>::min());
  ExpectRangeError(a, std::numeric_limits<int32_t>::max());
  EXPECT_NO_THROW(a.GetPointer(a.Count() - 1));
  EXPECT_EQ(a.Count(), per + 2) << "a failed access must not change the array";
}

} // namespace
} // namespace zarv
