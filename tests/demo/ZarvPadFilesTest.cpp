// ZarvPad and the files a user throws at it: NUL bytes, UTF-16 without a
// mark, a large text deleted and undone, special files, the command line's
// file opened after the window shows, and a path that does not exist yet.
#ifdef ZARVPAD_LINKED

#include "ZarvPadFixture.h"

#include <ZarvMemo/highlighters/CPPHighlighter.h>

#include <QSignalSpy>
#include <QStatusBar>
#include <QWindow>

#include <cstring>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace zarv;
using namespace zarv::pad;
using namespace zarv::pad::test;

namespace {

QString ShownNuls(const QByteArray& bytes) {
  QString s = QString::fromLatin1(bytes);
  s.replace(QChar(0), QChar(0x2400));
  return s;
}

// NUL bytes never cut the text: each shows as U+2400 and the status bar
// counts them, in the encoding found and when reopened as 8-bit. Saving
// over the file asks, also without an edit; 8-bit text writes the symbols
// back as NULs, so a yes gives back the very bytes; another file is
// written without a question.
TEST_F(ZarvPadTest, NulBytesAreShownCountedAndNeverSavedOverWithoutAsking) {
  const QByteArray program = Raw("\x7F"
                                 "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x03\0>\0\x01\0\0\0\n\r\n\xE0\x61\0\0\0\0tail");
  const QByteArray text = Raw("A line of seventy bytes or so, with a NUL \0 right in the middle of it.\n");
  struct Case {
    const char* name;
    QByteArray bytes;
  };
  for (const Case& c : {Case{"program", program}, Case{"text", text}}) {
    SCOPED_TRACE(c.name);
    const QString name = QString::fromLatin1(c.name);
    const QString nulCount = QString::number(c.bytes.count('\0'));
    Open(name, c.bytes);
    EXPECT_EQ(W().NulsInFile(), c.bytes.count('\0'));
    EXPECT_TRUE(W().StatusBar().WarningText().startsWith(nulCount + QStringLiteral(" NUL")));
    for (bool eightBit : {false, true}) {
      if (eightBit) // File > Reopen with Encoding > 8-bit
        Action(QStringLiteral("8-bit"))->trigger();
      const QString shown = Text().replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
      EXPECT_EQ(shown, ShownNuls(c.bytes).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
      EXPECT_TRUE(W().StatusBar().WarningText().startsWith(nulCount + QStringLiteral(" NUL")));
      fConfirmAnswer = false;
      fQuestions.clear();
      EXPECT_FALSE(W().Save());
      ASSERT_EQ(fQuestions.size(), 1);
      EXPECT_TRUE(fQuestions[0].contains(nulCount + QStringLiteral(" NUL byte")));
      EXPECT_EQ(ReadAll(Path(name)), c.bytes);
    }
    // Written elsewhere, nothing is overwritten: no question.
    fQuestions.clear();
    ASSERT_TRUE(W().SaveTo(Path(name + QStringLiteral(".copy")), M().TextFormat(), M().getLineBreak()));
    EXPECT_TRUE(fQuestions.isEmpty());
    EXPECT_TRUE(W().StatusBar().WarningText().isEmpty());
    ASSERT_TRUE(W().OpenFile(Path(name), TzvsEncoding::Ansi));
    fConfirmAnswer = true;
    ASSERT_TRUE(W().Save());
    EXPECT_EQ(fQuestions.size(), 1);
    if (c.bytes == text) { // one break style: 8-bit gives back every byte
      EXPECT_EQ(ReadAll(Path(name)), c.bytes);
    }
    EXPECT_EQ(W().NulsInFile(), 0);
  }
  EXPECT_TRUE(fErrors.isEmpty()) << fErrors.join('\n').toStdString();
}

TEST_F(ZarvPadTest, Utf16WithoutAMarkOpensWhole) {
  const QStringList pars = {QStringLiteral("int main() {"), QStringLiteral("  return 0; // caf\u00E9"),
                            QStringLiteral("}")};
  struct Case {
    TzvsEncoding encoding;
    const char* shown;
  };
  for (const Case& c : {Case{TzvsEncoding::Utf16LE, "LF UTF-16 LE"}, Case{TzvsEncoding::Utf16BE, "LF UTF-16 BE"}}) {
    SCOPED_TRACE(c.shown);
    const QByteArray bytes = Encode(pars, QStringLiteral("\n"), {c.encoding, false});
    Open(QStringLiteral("u16.txt"), bytes);
    EXPECT_EQ(Text(), pars.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
    EXPECT_EQ(W().StatusBar().FormatText(), QString::fromLatin1(c.shown));
    EXPECT_EQ(W().NulsInFile(), 0);
    ASSERT_TRUE(W().Save());
    EXPECT_EQ(ReadAll(Path("u16.txt")), bytes);
  }
}

TEST_F(ZarvPadTest, DeletingAllOfALargeTextCanBeUndone) {
  QByteArray bytes;
  for (int i = 0; bytes.size() < 5 * 1024 * 1024; ++i)
    bytes += "line " + QByteArray::number(i) + " of a text of five megabytes, give or take\n";
  Open(QStringLiteral("big.txt"), bytes);
  Focus();
  const QString before = Text();
  Action(QStringLiteral("Select &all"))->trigger();
  QTest::keyClick(&M(), Qt::Key_Delete);
  EXPECT_EQ(M().getCharCount(), 0);
  ASSERT_TRUE(M().CanUndo());
  QTest::keyClick(&M(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Text(), before);
  // Past even ZarvPad's space the change cannot be undone: the status bar
  // says so instead of a silently greyed Undo.
  M().setUndoMaxSpace(1000);
  Action(QStringLiteral("Select &all"))->trigger();
  QTest::keyClick(&M(), Qt::Key_Delete);
  EXPECT_FALSE(M().CanUndo());
  EXPECT_TRUE(fWindow->statusBar()->currentMessage().contains(QStringLiteral("too large to be undone")))
      << fWindow->statusBar()->currentMessage().toStdString();
}

// A named pipe without a writer would block the open for ever; a device
// or a socket is no text file either. Each is refused with a reason and
// the document stays.
TEST_F(ZarvPadTest, SpecialFilesAreRefusedWithAReason) {
  Open(QStringLiteral("keep.txt"), "kept\n");
  const QString fifo = Path("pipe");
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  const QString socketPath = Path("sock");
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  const QByteArray sp = QFile::encodeName(socketPath);
  ASSERT_LT(size_t(sp.size()), sizeof(addr.sun_path));
  std::memcpy(addr.sun_path, sp.constData(), size_t(sp.size()));
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
  struct Case {
    QString path;
    const char* reason;
  };
  for (const Case& c :
       {Case{fifo, "named pipe"}, Case{QStringLiteral("/dev/null"), "device"}, Case{socketPath, "socket"}}) {
    SCOPED_TRACE(c.reason);
    fErrors.clear();
    EXPECT_FALSE(W().OpenFile(c.path));
    ASSERT_EQ(fErrors.size(), 1);
    EXPECT_TRUE(fErrors[0].contains(QString::fromLatin1(c.reason))) << fErrors[0].toStdString();
    EXPECT_EQ(Text(), QStringLiteral("kept\r\n"));
    EXPECT_EQ(W().FileName(), Path("keep.txt"));
  }
  ::close(fd);
}

// The window is shown and painted before the command line's file loads,
// and the load's progress shows in it from the first report.
TEST_F(ZarvPadTest, TheCommandLinesFileLoadsUnderTheShownWindowWithProgress) {
  QByteArray bytes;
  for (int i = 0; i < 20000; ++i)
    bytes += "value" + QByteArray::number(i) + " = " + QByteArray::number(i * 3) + ";\n";
  WriteAll(Path("start.txt"), bytes);
  fWindow.reset();
  TZarvPadWindow w(Path("settings.ini"));
  w.Memo().setProgressInterval(0);
  uint32_t clock = 0;
  w.Memo().SetTickSource([&clock] { return clock += 1000; });
  std::vector<bool> shownWhileLoading;
  QObject::connect(&w.Memo(), &TZarvMemo::progressed, [&] {
    if (w.Memo().LoadingContent())
      shownWhileLoading.push_back(w.windowHandle() && w.windowHandle()->isExposed() && w.StatusBar().ProgressVisible());
  });
  QSignalSpy opened(&w, &TZarvPadWindow::startOpened);
  w.OpenAtStart(Path("start.txt"));
  QCoreApplication::processEvents();
  EXPECT_EQ(w.Memo().getCharCount(), 0); // nothing before the window shows
  w.show();
  ASSERT_TRUE(opened.wait(10000));
  EXPECT_TRUE(opened.at(0).at(0).toBool());
  EXPECT_EQ(w.Memo().GetParCount(), 20001);
  EXPECT_EQ(w.FileName(), Path("start.txt"));
  ASSERT_FALSE(shownWhileLoading.empty());
  EXPECT_TRUE(std::all_of(shownWhileLoading.begin(), shownWhileLoading.end(), [](bool b) { return b; }));
}

// As in other editors, a path that does not exist opens as an empty
// document of that name, and Save creates the file; only when its folder
// is missing too does the save fail, with a message.
TEST_F(ZarvPadTest, AMissingPathOnTheCommandLineBecomesANewFileOfThatName) {
  struct Case {
    QString path;
    bool saves;
  };
  for (const Case& c : {Case{Path("new.cpp"), true}, Case{Path("no/such/dir/new.txt"), false}}) {
    SCOPED_TRACE(c.path.toStdString());
    fErrors.clear();
    QSignalSpy opened(fWindow.get(), &TZarvPadWindow::startOpened);
    W().OpenAtStart(c.path);
    ASSERT_TRUE(opened.wait(5000));
    EXPECT_TRUE(fErrors.isEmpty());
    EXPECT_EQ(Text(), QString());
    EXPECT_EQ(W().FileName(), c.path);
    EXPECT_TRUE(W().windowTitle().startsWith(QFileInfo(c.path).fileName()));
    EXPECT_FALSE(W().isWindowModified());
    EXPECT_EQ(qobject_cast<TCPPHighlighter*>(M().Highlighter()) != nullptr, c.path.endsWith(QStringLiteral(".cpp")));
    Focus();
    QTest::keyClicks(&M(), QStringLiteral("int x;"));
    QTest::keyClick(&M(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(ReadAll(c.path), c.saves ? QByteArray("int x;") : QByteArray("<unreadable>"));
    EXPECT_EQ(fErrors.size(), c.saves ? 0 : 1);
    EXPECT_EQ(W().isWindowModified(), !c.saves);
    M().SetModified(false); // the next case replaces the document
  }
}

// File > Export writes RTF, HTML and PDF files that hold the text; a place
// that cannot be written is reported and leaves nothing behind.
TEST_F(ZarvPadTest, ExportWritesRtfHtmlAndPdfAndReportsAFailure) {
  Open(QStringLiteral("code.cpp"), "int main() { return 0; } // comment\n");
  struct TCase {
    TZarvPadWindow::TExportFormat Format;
    const char* Name;
    QByteArray Start;
  };
  for (const TCase& c : {TCase{TZarvPadWindow::TExportFormat::Rtf, "out.rtf", "{\\rtf"},
                         TCase{TZarvPadWindow::TExportFormat::Html, "out.html", ""},
                         TCase{TZarvPadWindow::TExportFormat::Pdf, "out.pdf", "%PDF"}}) {
    SCOPED_TRACE(c.Name);
    const QString path = Path(c.Name);
    ASSERT_TRUE(fWindow->Export(path, c.Format));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_TRUE(bytes.startsWith(c.Start));
    if (c.Format != TZarvPadWindow::TExportFormat::Pdf) {
      EXPECT_TRUE(bytes.contains("comment"));
    }
  }
  EXPECT_TRUE(fErrors.isEmpty());
  const QString nowhere = Path(QStringLiteral("no/such/folder/out.rtf"));
  EXPECT_FALSE(fWindow->Export(nowhere, TZarvPadWindow::TExportFormat::Rtf));
  EXPECT_EQ(fErrors.size(), 1);
  EXPECT_FALSE(QFileInfo::exists(nowhere));
}

} // namespace

#endif
