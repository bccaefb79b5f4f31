#include "bench.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QTest>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <unistd.h>

namespace {

double roundUs(double ms) { return std::round(ms * 1e3) / 1e3; }
double msSince(const QElapsedTimer& t) { return roundUs(t.nsecsElapsed() / 1e6); }

// "VmHWM" (peak) or "VmRSS" (current) from /proc/self/status, in MiB.
double procStatusMb(const QByteArray& key) {
  QFile f("/proc/self/status");
  if (!f.open(QIODevice::ReadOnly))
    return -1;
  for (const QByteArray& line : f.readAll().split('\n'))
    if (line.startsWith(key + ':'))
      return std::round(line.mid(key.size() + 1).trimmed().split(' ').first().toDouble() / 1.024) / 1e3;
  return -1;
}

QJsonObject summary(QList<double> v) {
  std::sort(v.begin(), v.end());
  const qsizetype n = v.size();
  const double median = n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
  const qsizetype p99 = qBound<qsizetype>(0, qsizetype(std::ceil(0.99 * n)) - 1, n - 1);
  return {{"n", n}, {"median_ms", roundUs(median)}, {"p99_ms", v[p99]}, {"max_ms", v.last()}};
}

// Counts the viewport's paints and notes when the first one has ended (on
// `clock`): a widget that keeps background work queued would otherwise be
// charged for the rest of the processEvents() slice it was painted in.
struct PaintCounter : QObject {
  int paints = 0;
  const QElapsedTimer* clock = nullptr;
  double firstPaintEndMs = -1;
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() != QEvent::Paint)
      return false;
    ++paints;
    if (firstPaintEndMs >= 0 || !clock)
      return false;
    // Paint now, with this filter out of the way, and time the end.
    o->removeEventFilter(this);
    QCoreApplication::sendEvent(o, e);
    firstPaintEndMs = clock->nsecsElapsed() / 1e6;
    o->installEventFilter(this);
    return true;
  }
};

// Paint the viewport synchronously, then run whatever the change posted (update requests,
// zero-timers), so a measurement ends when control is back in an idle event loop.
void repaintNow(Peer& p) {
  p.widget()->viewport()->repaint();
  QCoreApplication::processEvents();
}

// Occurrences of `word` not adjacent to [A-Za-z0-9_], and the first line (0-based) containing
// "*/": reference figures computed from the file itself, outside any timed region.
bool isWordByte(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }
qint64 referenceCount(const QByteArray& text, const QByteArray& word) {
  qint64 n = 0;
  for (qsizetype i = text.indexOf(word); i >= 0; i = text.indexOf(word, i + 1)) {
    const qsizetype end = i + word.size();
    n += (i == 0 || !isWordByte(text[i - 1])) && (end == text.size() || !isWordByte(text[end]));
  }
  return n;
}

[[noreturn]] void finish(QJsonObject out, int rc) {
  const QByteArray line = QJsonDocument(out).toJson(QJsonDocument::Compact) + '\n';
  std::fwrite(line.constData(), 1, line.size(), stdout);
  std::fflush(stdout);
  _exit(rc); // skip tearing down huge documents: not measured, only slows the run
}

int usage() {
  std::fprintf(stderr, "usage: PROGRAM open|highlight-all|type|comment-cascade|scroll|find FILE"
                       " [chars=200] [pages=300] [word=return]\n");
  return 2;
}

} // namespace

int runBench(int argc, char** argv, const char* peerName, const std::function<std::unique_ptr<Peer>()>& makePeer) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setCursorFlashTime(0); // no caret-blink timers firing inside measurements

  const QStringList args = QCoreApplication::arguments();
  const QStringList scenarios{"open", "highlight-all", "type", "comment-cascade", "scroll", "find"};
  if (args.size() < 3 || !scenarios.contains(args[1]))
    return usage();
  const QString scenario = args[1], path = args[2];
  QHash<QString, QString> opt{{"chars", "200"}, {"pages", "300"}, {"word", "return"}};
  for (const QString& a : args.mid(3)) {
    const QStringList kv = a.split('=');
    if (kv.size() != 2 || !opt.contains(kv[0]))
      return usage();
    opt[kv[0]] = kv[1];
  }

  QJsonObject out{{"peer", peerName}, {"scenario", scenario}, {"file", QFileInfo(path).fileName()}};
  std::unique_ptr<Peer> peer = makePeer();
  QAbstractScrollArea* w = peer->widget();
  w->resize(1000, 800);
  PaintCounter pc;
  w->viewport()->installEventFilter(&pc);
  QCoreApplication::processEvents(); // construction-time posted work happens before timing

  // ---- open: read, decode, set text, show, first paint (every scenario starts with it)
  QElapsedTimer total, t;
  total.start();
  t.start();
  pc.clock = &total;
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) {
    out["status"] = "error";
    out["error"] = "cannot open " + path;
    finish(out, 1);
  }
  QByteArray bytes = f.readAll();
  f.close();
  const double readMs = msSince(t);
  t.restart();
  QString text = QString::fromUtf8(bytes);
  const qint64 nbytes = bytes.size();
  bytes = QByteArray();
  const double decodeMs = msSince(t);
  t.restart();
  peer->setText(text);
  text = QString();
  const double setTextMs = msSince(t);
  t.restart();
  w->show();
  if (pc.paints == 0)
    w->viewport()->repaint();
  while (pc.paints == 0 && total.elapsed() < 60000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  double showPaintMs = msSince(t);
  double firstPaintMs = msSince(total);
  if (pc.firstPaintEndMs >= 0) {
    showPaintMs = roundUs(showPaintMs - (firstPaintMs - pc.firstPaintEndMs));
    firstPaintMs = roundUs(pc.firstPaintEndMs);
  }
  out["bytes"] = nbytes;
  out["lines"] = peer->lines();
  if (pc.paints == 0)
    out["warning"] = "no paint event seen within 60 s";

  if (scenario == "open") {
    out["first_paint_ms"] = firstPaintMs;
    out["read_ms"] = readMs;
    out["decode_ms"] = decodeMs;
    out["set_text_ms"] = setTextMs;
    out["show_paint_ms"] = showPaintMs;
    out["paints"] = pc.paints;
  } else {
    out["open_ms"] = firstPaintMs;
    w->activateWindow();
    w->setFocus();
    QCoreApplication::processEvents();
  }

  if (scenario == "highlight-all") {
    t.restart();
    peer->highlightAll();
    out["highlight_ms"] = msSince(t);
    const QJsonObject check = peer->check();
    for (auto it = check.begin(); it != check.end(); ++it)
      out[it.key()] = it.value();
  } else if (scenario == "type") {
    const QString typed = "sum += value * 42; ";
    const int chars = opt["chars"].toInt();
    const qint64 lines = peer->lines();
    const qint64 lengthBefore = peer->length();
    const std::pair<const char*, qint64> places[] = {{"start", 0}, {"middle", lines / 2}, {"end", -1}};
    for (const auto& [name, line] : places) {
      t.restart();
      peer->setCaret(line);
      repaintNow(*peer);
      const double gotoMs = msSince(t);
      QList<double> v;
      for (int i = 0; i < chars; ++i) {
        const char ch = typed.at(i % typed.size()).toLatin1();
        t.restart();
        QTest::keyClick(w, ch);
        repaintNow(*peer);
        v << msSince(t);
      }
      QJsonObject s = summary(v);
      s["goto_ms"] = gotoMs;
      out[name] = s;
    }
    out["inserted"] = peer->length() - lengthBefore; // should be 3 * chars (all ASCII)
    out["lines_after"] = peer->lines();              // typed text has no newline
  } else if (scenario == "comment-cascade") {
    peer->highlightAll();
    repaintNow(*peer);
    t.restart();
    peer->insertAtStart("/*");
    repaintNow(*peer);
    out["cascade_ms"] = msSince(t);
    t.restart();
    peer->highlightAll();
    out["rehighlight_ms"] = msSince(t);
  } else if (scenario == "scroll") {
    repaintNow(*peer);
    QList<double> v;
    for (int i = 0, pages = opt["pages"].toInt(); i < pages; ++i) {
      t.restart();
      QTest::keyClick(w, Qt::Key_PageDown);
      repaintNow(*peer);
      v << msSince(t);
    }
    out["page_down"] = summary(v);
    out["first_visible_line"] = peer->firstVisibleLine();
  } else if (scenario == "find") {
    t.restart();
    out["count"] = peer->findAll(opt["word"]);
    out["find_ms"] = msSince(t);
  }

  out["peak_rss_mb"] = procStatusMb("VmHWM");
  out["rss_mb"] = procStatusMb("VmRSS");

  // Untimed reference figures, taken after the memory readings.
  if (scenario == "find" || scenario == "comment-cascade") {
    QFile again(path);
    again.open(QIODevice::ReadOnly);
    const QByteArray data = again.readAll();
    if (scenario == "find")
      out["count_ref"] = referenceCount(data, opt["word"].toUtf8());
    else // inserting "/*" at offset 0 turns everything up to the first "*/" into comment
      out["comment_ends_line"] = data.left(std::max<qsizetype>(0, data.indexOf("*/"))).count('\n');
  }
  QJsonObject env = peer->describe();
  env["qt"] = qVersion();
  env["qpa"] = QGuiApplication::platformName();
  out["env"] = env;
  out["status"] = "ok";
  finish(out, 0);
}
