// What the printing tests share: a source control with a monospace font, a
// printer on A4 paper, and reading a PDF back through poppler's pdftotext
// and pdfinfo (the tests that need them skip when they are not installed).
#pragma once

#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/print/ZarvMemoPrinter.h>

#include <QDir>
#include <QFile>
#include <QPageSize>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <memory>

namespace zarv::test {

inline std::unique_ptr<TZarvMemo> SourceMemo(const QString& text) {
  auto m = std::make_unique<TZarvMemo>();
  m->setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 10));
  m->setUpdateMode(umImmediate);
  m->SetTextBuf(text);
  return m;
}

inline void UseA4(TZarvMemoPrinter& p) { p.Printer()->setPageSize(QPageSize(QPageSize::A4)); }

inline bool HavePoppler() { return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty(); }

inline QString Run(const QString& program, const QStringList& args) {
  QProcess proc;
  proc.start(program, args);
  proc.waitForFinished(60000);
  return QString::fromUtf8(proc.readAllStandardOutput());
}

// The text of page n (1-based) laid out as printed.
inline QString PdfPage(const QString& file, int n) {
  return Run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QStringLiteral("-f"), QString::number(n),
                                           QStringLiteral("-l"), QString::number(n), file, QStringLiteral("-")});
}

// "Pages" and "Page size" of pdfinfo.
inline int PdfPages(const QString& file) {
  const auto m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(Run(QStringLiteral("pdfinfo"), {file}));
  return m.hasMatch() ? m.captured(1).toInt() : -1;
}

inline QString PdfPageSize(const QString& file) {
  const auto m =
      QRegularExpression(QStringLiteral("Page size:\\s+([^\\n]+)")).match(Run(QStringLiteral("pdfinfo"), {file}));
  return m.hasMatch() ? m.captured(1).trimmed() : QString();
}

// Every match of Pattern's first group in Text, in reading order.
inline QStringList AllMatches(const QString& Text, const QString& Pattern) {
  QStringList r;
  auto it = QRegularExpression(Pattern).globalMatch(Text);
  while (it.hasNext())
    r << it.next().captured(1);
  return r;
}

// With ZARV_PRINT_SHOTS set to a folder, a copy of the file is kept there
// for looking at.
inline void KeepCopy(const QString& file, const QString& name) {
  const QByteArray dir = qgetenv("ZARV_PRINT_SHOTS");
  if (!dir.isEmpty())
    QFile::copy(file, QString::fromLocal8Bit(dir) + QLatin1Char('/') + name);
}

} // namespace zarv::test
