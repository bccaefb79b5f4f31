// The ZarvPad window as the demo tests drive it: files written byte by
// byte, a shown window whose message boxes are recorders (errors, the
// unsaved-changes prompt, yes/no questions), and helpers to find its
// actions and read files back.
#pragma once

#include "FindBar.h"
#include "PadStatusBar.h"
#include "RecentFiles.h"
#include "SaveOptionsDialog.h"
#include "ZarvPadWindow.h"

#include <ZarvMemo/memo/ZarvMemo.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace zarv::pad::test {

// The bytes of a string literal, NULs included.
template <size_t N>
QByteArray Raw(const char (&s)[N]) {
  return QByteArray(s, N - 1);
}

// Runs the event loop until done() holds, for at most ms milliseconds;
// returns whether it holds (QTRY_ macros report to QtTest, not to gtest).
template <class Pred>
bool WaitFor(Pred done, int ms = 5000) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < ms)
    QTest::qWait(10);
  return done();
}

inline QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

inline void WriteAll(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  ASSERT_EQ(f.write(bytes), bytes.size());
}

// Paragraphs encoded one by one, joined and ended by brk.
inline QByteArray Encode(const QStringList& pars, const QString& brk, TzvsTextFormat format) {
  QByteArray out;
  for (const QString& p : pars) {
    const QString s = p + brk;
    for (QChar c : s) {
      const char16_t u = c.unicode();
      switch (format.Encoding) {
      case TzvsEncoding::Ansi:
        out += char(u);
        break;
      case TzvsEncoding::Utf8:
        out += QString(c).toUtf8();
        break;
      case TzvsEncoding::Utf16LE:
        out += char(u & 0xFF);
        out += char(u >> 8);
        break;
      case TzvsEncoding::Utf16BE:
        out += char(u >> 8);
        out += char(u & 0xFF);
        break;
      }
    }
  }
  if (format.Bom && format.Encoding != TzvsEncoding::Ansi)
    out.prepend(QByteArray(BomBytes(format.Encoding), BomLength(format.Encoding)));
  return out;
}

class ZarvPadTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(fDir.isValid());
    fWindow = std::make_unique<TZarvPadWindow>(Path("settings.ini"));
    fWindow->setErrorReporter([this](const QString&, const QString& message) { fErrors << message; });
    fWindow->setSavePrompt([this](const QString&) {
      ++fPrompts;
      return fAnswer;
    });
    fWindow->setConfirm([this](const QString& question) {
      fQuestions << question;
      return fConfirmAnswer;
    });
    fWindow->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(fWindow.get()));
  }

  // The window active and the editor focused, for keys that the window's
  // shortcuts or the editor take.
  void Focus() {
    W().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(fWindow.get()));
    M().setFocus();
  }

  QString Path(const QString& name) const { return fDir.filePath(name); }
  TZarvPadWindow& W() { return *fWindow; }
  TZarvMemo& M() { return fWindow->Memo(); }
  QString Text() { return M().GetTextContent(); }
  // Opens a file written with bytes.
  void Open(const QString& name, const QByteArray& bytes) {
    WriteAll(Path(name), bytes);
    ASSERT_TRUE(W().OpenFile(Path(name)));
    ASSERT_TRUE(fErrors.isEmpty()) << fErrors.join('\n').toStdString();
    M().setFocus();
  }

  // The menu action shown as text ("&Undo").
  QAction* Action(const QString& text) {
    for (QAction* a : fWindow->findChildren<QAction*>())
      if (a->text() == text)
        return a;
    ADD_FAILURE() << "no action " << text.toStdString();
    return new QAction(fWindow.get());
  }

  QTemporaryDir fDir;
  std::unique_ptr<TZarvPadWindow> fWindow;
  QStringList fErrors;
  int fPrompts = 0;
  QMessageBox::StandardButton fAnswer = QMessageBox::Cancel;
  QStringList fQuestions; // yes/no questions asked
  bool fConfirmAnswer = false;
};

} // namespace zarv::pad::test
