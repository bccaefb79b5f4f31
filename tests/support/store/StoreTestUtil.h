// Helpers shared by the store tests: build a store from text, read it back,
// replace a range the way the control does.
#pragma once

#include <ZarvMemo/support/navigator/Navigator.h>
#include <ZarvMemo/support/store/ParagraphsList.h>

#include <QBuffer>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace zarv::test {

// A store loaded from UTF-16 text (breaks of any style in `text`).
inline std::unique_ptr<TParagraphsList> MakeStore(const std::u16string& text, bool staticFormat = false) {
  auto store = std::make_unique<TParagraphsList>();
  store->fStaticFormat = staticFormat;
  QByteArray bytes(reinterpret_cast<const char*>(text.data()), static_cast<qsizetype>(text.size() * 2));
  QBuffer buf(&bytes);
  buf.open(QIODevice::ReadOnly);
  TzvsLineBreak lb = zsbCRLF;
  store->LoadFromStream(buf, false, 0, false, lb);
  return store;
}

// The whole text with every break as CR LF: the store's own addressing.
inline std::u16string StoreText(const TParagraphsList& store) { return store.Text(zsbCRLF).toStdU16String(); }

struct ReplaceResult {
  int32_t OffsetDelta = 0;
  int32_t LineDelta = 0;
  bool DynsChanged = false;
  int32_t StartPos = 0;
  int32_t StopPos = 0;
};

// Replaces the text between absolute positions from..to with `text`.
inline ReplaceResult Replace(TParagraphsList& store, int32_t from, int32_t to, const std::u16string& text,
                             bool discardTrailingSpaces = false, bool checkFormat = true) {
  TZarvNavigator a(&store), b(&store);
  a.SetPos(from);
  b.SetPos(to);
  ReplaceResult r;
  store.InsertBuf(text.empty() ? nullptr : text.c_str(), a, b, discardTrailingSpaces, checkFormat, r.OffsetDelta,
                  r.LineDelta, r.DynsChanged);
  r.StartPos = a.GetPos();
  r.StopPos = b.GetPos();
  return r;
}

// Fails the current test with the store's first inconsistency.
#define EXPECT_STORE_OK(store) EXPECT_EQ((store).CheckIntegrity().toStdString(), std::string())
#define ASSERT_STORE_OK(store) ASSERT_EQ((store).CheckIntegrity().toStdString(), std::string())

} // namespace zarv::test
