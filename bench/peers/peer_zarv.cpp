// peer-zarv: TZarvMemo with the C++ key set (keywords, types, comments,
// strings), no word wrap, run through the same scenarios as the other
// peers. The text a scenario sets is loaded as a file is (no undo record of
// the whole text), from the UTF-16 the runner decoded.
#include "bench.h"
#include "bench/CppKeys.h"

#include <ZarvMemo/memo/ZarvMemo.h>

#include <QBuffer>
#include <QFontInfo>

#include <cctype>

namespace {

using namespace zarv;

class ZarvPeer : public Peer {
public:
  ZarvPeer() {
    memo.setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 10));
    memo.setWordWrap(false);
    memo.setScrollTime(0);
    bench::SetUpKeys(memo);
    // Whole words as the runner counts them: bounded by anything but
    // letters, digits and '_'.
    TCharSet separators;
    for (int c = 1; c < 256; ++c)
      separators.set(size_t(c), !(std::isalnum(c) || c == '_'));
    memo.setDelimiters(separators);
  }
  QAbstractScrollArea* widget() override { return &memo; }
  void setText(const QString& text) override {
    QBuffer device;
    device.setData(QByteArray::fromRawData(reinterpret_cast<const char*>(text.utf16()), text.size() * 2));
    device.open(QIODevice::ReadOnly);
    memo.LoadFromStream(device, TzvsEncoding::Utf16LE);
  }
  void highlightAll() override {
    // Ranges and keywords of every paragraph, parsed now.
    memo.DoDynParse(0, memo.GetParCount() - 1, false);
  }
  qint64 lines() override { return memo.GetParCount(); }
  qint64 length() override { return memo.getCharCount(); }
  void setCaret(qint64 line) override {
    memo.setSelStart(line < 0 ? memo.getCharCount() : memo.getParsOffset(int32_t(line)));
    memo.ScrollInView();
  }
  void insertAtStart(const QString& s) override {
    memo.setSelStart(0);
    memo.setSelText(s);
  }
  qint64 firstVisibleLine() override { return memo.getTopLine(); }
  qint64 findAll(const QString& word) override {
    memo.setSelStart(0);
    qint64 n = 0;
    for (bool edge = true; memo.FindTxt(word, true, true, true, edge); edge = false)
      ++n;
    return n;
  }
  QJsonObject describe() override {
    return {{"widget", "TZarvMemo"},
            {"version", memo.getVersion()},
            {"keys", "C++ key set"},
            {"font", QFontInfo(memo.font()).family()}};
  }
  QJsonObject check() override {
    qint64 parsed = 0;
    for (int32_t p = 0; p < memo.GetParCount(); ++p)
      parsed += (memo.Paragraphs().Par(p)->ParState & zvpKeywDone) != 0;
    return {{"keyword_pass_done", parsed}, {"paragraphs", memo.GetParCount()}};
  }

private:
  TZarvMemo memo;
};

} // namespace

int main(int argc, char** argv) {
  return runBench(argc, argv, "zarv", [] { return std::make_unique<ZarvPeer>(); });
}
