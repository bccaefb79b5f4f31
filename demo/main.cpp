// zarvpad [FILE] [--goto LINE] [--screenshot PNG] [--report]
//
// Opens the ZarvPad window on FILE. --goto puts the caret on a line of the
// file; --screenshot lets the window paint, saves its picture to PNG and
// quits (what scripts/demo.sh does without a display); --report prints a
// console report on FILE instead of opening a window.
#include "ConsoleReport.h"
#include "FindBar.h"
#include "ZarvPadWindow.h"

#include <ZarvMemo/memo/ZarvMemo.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <memory>

using namespace zarv;
using namespace zarv::pad;

namespace {

// Saves the window's picture once the shown text is formatted and painted
// (or after a few seconds for a very large text), then ends the event loop.
// Returns at once; the work runs on a timer.
void ScreenshotWhenPainted(TZarvPadWindow& w, const QString& png) {
  auto* timer = new QTimer(&w);
  auto clock = std::make_shared<QElapsedTimer>();
  clock->start();
  QObject::connect(timer, &QTimer::timeout, &w, [&w, png, timer, clock] {
    const TZarvMemo& m = w.Memo();
    const bool formatted = m.getFormatCompleted() >= m.GetParCount();
    if (clock->elapsed() < 400 || (!formatted && clock->elapsed() < 4000))
      return;
    timer->stop();
    const bool ok = w.grab().save(png, "PNG");
    std::printf(ok ? "screenshot: %s\n" : "screenshot: cannot write %s\n", qPrintable(png));
    std::fflush(stdout);
    QCoreApplication::exit(ok ? 0 : 1);
  });
  timer->start(50);
}

} // namespace

int main(int argc, char** argv) {
  // The report and the help need no display; choose the offscreen platform
  // for them before the application exists, when the caller chose none.
  for (int i = 1; i < argc; ++i) {
    const bool windowless =
        qstrcmp(argv[i], "--report") == 0 || qstrcmp(argv[i], "--help") == 0 || qstrcmp(argv[i], "-h") == 0;
    if (windowless && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
      qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("ZarvPad"));
  QApplication::setOrganizationName(QStringLiteral("ZarvMemo"));

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("ZarvPad, a text editor built on the ZarvMemo control."));
  parser.addHelpOption();
  parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The file to open."), QStringLiteral("[FILE]"));
  const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                      QStringLiteral("Save a picture of the window to PNG, then quit."),
                                      QStringLiteral("PNG"));
  const QCommandLineOption gotoLine(QStringLiteral("goto"), QStringLiteral("Put the caret on LINE (from 1)."),
                                    QStringLiteral("LINE"));
  const QCommandLineOption report(QStringLiteral("report"),
                                  QStringLiteral("Print a report on FILE (encoding, size, speed) instead."));
  parser.addOptions({screenshot, gotoLine, report});
  parser.process(app);
  const QStringList files = parser.positionalArguments();
  const QString file = files.value(0);

  if (parser.isSet(report)) {
    if (file.isEmpty()) {
      std::fprintf(stderr, "--report needs a FILE\n");
      return 2;
    }
    return PrintReport(file);
  }

  TZarvPadWindow w;
  if (parser.isSet(screenshot)) // nobody is there to close a message box
    w.setErrorReporter([](const QString& title, const QString& message) {
      std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(message));
    });
  // The file loads once the window is shown and painted, so that a large
  // one loads with its progress in view and is laid out for the window's
  // real size; the line to go to and the screenshot wait for it.
  bool ok = true;
  const int line = parser.isSet(gotoLine) ? parser.value(gotoLine).toInt() : 0;
  const QString png = parser.isSet(screenshot) ? parser.value(screenshot) : QString();
  auto started = [&w, &ok, line, png](bool opened) {
    ok = opened;
    if (line > 0)
      w.GoToLine(line);
    if (!png.isEmpty())
      ScreenshotWhenPainted(w, png);
  };
  if (file.isEmpty())
    QTimer::singleShot(0, &w, [started] { started(true); });
  else
    QObject::connect(&w, &TZarvPadWindow::startOpened, &w, started);
  w.OpenAtStart(file);
  w.show();
  w.activateWindow();
  const int rc = app.exec();
  return rc != 0 ? rc : (ok ? 0 : 1);
}
