// Finding text, checked against a plain model of the paragraphs over
// seeded random texts (matches at paragraph starts and ends, none at all,
// both directions, case and whole words), and the default popup menu's
// items enabled exactly when their commands can act.
#include "PaintTestSupport.h"

#include <ZarvMemo/memo/ZarvMemo.h>

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <gtest/gtest.h>
#include <random>
#include <vector>

using namespace zarv;
using zarv::test::MakeMemo;

namespace {

struct TMatch {
  int32_t Start;
  bool operator==(const TMatch&) const = default;
};

// Every match of key in the paragraphs, as absolute offsets (a break
// counts two).
std::vector<int32_t> ModelMatches(const QStringList& pars, const QString& key, bool matchCase, bool whole,
                                  const TZarvMemo& m) {
  std::vector<int32_t> out;
  int32_t base = 0;
  auto delim = [&](QChar c) { return m.fDelimiters.test(zvChar(c.unicode())); };
  for (const QString& p : pars) {
    for (int32_t i = 0; i + key.size() <= p.size(); ++i) {
      if (p.mid(i, key.size()).compare(key, matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive) != 0)
        continue;
      if (whole && ((i > 0 && !delim(p[i - 1])) || (i + key.size() < p.size() && !delim(p[i + key.size()]))))
        continue;
      out.push_back(base + i);
    }
    base += int32_t(p.size()) + 2;
  }
  return out;
}

TEST(ZarvMemoFind, FindingDownAndUpMeetsEveryMatchOfAPlainModel) {
  std::mt19937 rng(20261207);
  const QStringList words = {QStringLiteral("ret"),      QStringLiteral("return"), QStringLiteral("Return"),
                             QStringLiteral("returned"), QStringLiteral("x"),      QStringLiteral("(return)")};
  auto m = MakeMemo(QString());
  for (int round = 0; round < 12; ++round) {
    QStringList pars;
    const int n = 1 + int(rng() % 8);
    for (int p = 0; p < n; ++p) {
      QStringList w;
      const int k = int(rng() % 6);
      for (int i = 0; i < k; ++i)
        w << words[rng() % words.size()];
      pars << w.join(rng() % 3 == 0 ? QStringLiteral("") : QStringLiteral(" "));
    }
    m->SetTextBuf(pars.join(QStringLiteral("\r\n")));
    for (bool matchCase : {true, false})
      for (bool whole : {true, false}) {
        const QString key = QStringLiteral("return");
        const std::vector<int32_t> want = ModelMatches(pars, key, matchCase, whole, *m);
        std::vector<int32_t> down, up;
        bool edge = true;
        while (m->FindTxt(key, true, matchCase, whole, edge)) {
          edge = false;
          // Down: the caret at the match's end, the selection before it.
          EXPECT_EQ(m->getSelLength(), -key.size());
          down.push_back(m->getSelStart() - int32_t(key.size()));
          ASSERT_LE(down.size(), want.size() + 1);
        }
        edge = true;
        while (m->FindTxt(key, false, matchCase, whole, edge)) {
          edge = false;
          EXPECT_EQ(m->getSelLength(), key.size());
          up.insert(up.begin(), m->getSelStart());
          ASSERT_LE(up.size(), want.size() + 1);
        }
        EXPECT_EQ(down, want) << pars.join(QStringLiteral("|")).toStdString() << " case " << matchCase << " whole "
                              << whole;
        EXPECT_EQ(up, want) << pars.join(QStringLiteral("|")).toStdString();
      }
  }
  // No match leaves the selection alone.
  m->SetTextBuf(QStringLiteral("abc\r\ndef"));
  m->setSelStart(2);
  EXPECT_FALSE(m->FindTxt(QStringLiteral("zzz"), true, false, false, false));
  EXPECT_EQ(m->getSelStart(), 2);
  EXPECT_EQ(m->getSelLength(), 0);
}

TEST(ZarvMemoFind, PopupItemsAreEnabledExactlyWhenTheirCommandsCanAct) {
  auto m = MakeMemo(QStringLiteral("one two"));
  QMenu* menu = m->getInternalPopup();
  QStringList captions;
  for (QAction* a : menu->actions())
    captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
  EXPECT_EQ(captions.join(QLatin1Char('|')), QStringLiteral("&Undo|&Redo|-|Cu&t|&Copy|&Paste|-|&Select all"));
  auto item = [&](const char* caption) {
    for (QAction* a : menu->actions())
      if (a->text() == QLatin1String(caption))
        return a;
    return static_cast<QAction*>(nullptr);
  };
  struct {
    bool readOnly, selection, clipText, undo;
    bool cut, copy, paste, undoOn;
  } rows[] = {
      {false, false, false, false, false, false, false, false}, {false, true, true, false, true, true, true, false},
      {true, true, true, false, false, true, false, false},     {false, false, true, true, false, false, true, true},
      {true, false, false, true, false, false, false, true},
  };
  int popups = 0;
  m->OnInternalPopup = [&](TZarvMemo&) { ++popups; };
  for (const auto& r : rows) {
    m->setReadOnly(false);
    m->SetTextBuf(QStringLiteral("one two"));
    m->ClearUndo();
    if (r.undo) {
      m->setSelStart(0);
      m->setSelText(QStringLiteral("x"));
    }
    m->setReadOnly(r.readOnly);
    m->setSelStart(0);
    m->setSelLength(r.selection ? 3 : 0);
    if (r.clipText)
      QGuiApplication::clipboard()->setText(QStringLiteral("clip"));
    else
      QGuiApplication::clipboard()->setMimeData(new QMimeData);
    emit menu->aboutToShow();
    EXPECT_EQ(item("Cu&t")->isEnabled(), r.cut);
    EXPECT_EQ(item("&Copy")->isEnabled(), r.copy);
    EXPECT_EQ(item("&Paste")->isEnabled(), r.paste);
    EXPECT_EQ(item("&Undo")->isEnabled(), r.undoOn);
    EXPECT_EQ(item("&Redo")->isEnabled(), false);
  }
  EXPECT_EQ(popups, 5);
  // Items run their commands.
  m->setReadOnly(false);
  m->SetTextBuf(QStringLiteral("one two"));
  m->ClearUndo();
  m->setSelStart(4);
  m->setSelLength(3);
  emit menu->aboutToShow();
  item("&Copy")->trigger();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("two"));
  item("Cu&t")->trigger();
  EXPECT_EQ(m->GetTextContent(), QStringLiteral("one "));
  emit menu->aboutToShow();
  item("&Undo")->trigger();
  EXPECT_EQ(m->GetTextContent(), QStringLiteral("one two"));
  item("&Select all")->trigger();
  EXPECT_EQ(m->getSelLength(), -7);
  m->setOptions(m->getOptions() | zvoNoDefaultPopup);
  EXPECT_FALSE(m->ShowPopup(QPoint(0, 0)));
}

TEST(ZarvMemoFind, ABlockMarkerThatDoesNotHoldTwoPastesAsLines) {
  auto m = MakeMemo(QStringLiteral("12\r\n34"));
  m->setOptions(m->getOptions() | zvoBlockSelection);
  m->setWordWrap(false);
  for (const QByteArray& marker : {QByteArray(1, '\x01'), QByteArray(), QByteArray(1, '\x02')}) {
    m->SetTextBuf(QStringLiteral("12\r\n34"));
    auto* mime = new QMimeData;
    mime->setText(QStringLiteral("a\r\nb"));
    mime->setData(TZarvMemo::kBlockMimeType, marker);
    QGuiApplication::clipboard()->setMimeData(mime);
    m->setSelStart(1);
    m->PasteFromClipboard();
    const bool block = marker.isEmpty() || marker.at(0) == '\x02';
    EXPECT_EQ(m->GetTextContent(), block ? QStringLiteral("1a2\r\n3b4") : QStringLiteral("1a\r\nb2\r\n34"))
        << int(marker.isEmpty() ? -1 : marker.at(0));
    m->CheckIntegrity();
  }
}

} // namespace
