// Recent files in QSettings; entries are numbered &1..&8 so that the
// keyboard reaches them.
#include "RecentFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>

namespace zarv::pad {

namespace {
const QString kKey = QStringLiteral("recentFiles");
}

TRecentFiles::TRecentFiles(QSettings& settings, QMenu& menu, QObject* parent)
    : QObject(parent), fSettings(settings), fMenu(menu), fFiles(settings.value(kKey).toStringList()) {
  while (fFiles.size() > kMaxFiles)
    fFiles.removeLast();
  rebuildMenu();
}

void TRecentFiles::Add(const QString& fileName) {
  const QString path = QFileInfo(fileName).absoluteFilePath();
  fFiles.removeAll(path);
  fFiles.prepend(path);
  while (fFiles.size() > kMaxFiles)
    fFiles.removeLast();
  store();
}

void TRecentFiles::Remove(const QString& fileName) {
  if (fFiles.removeAll(QFileInfo(fileName).absoluteFilePath()) > 0)
    store();
}

void TRecentFiles::store() {
  fSettings.setValue(kKey, fFiles);
  rebuildMenu();
}

void TRecentFiles::rebuildMenu() {
  fMenu.clear();
  for (int i = 0; i < fFiles.size(); ++i) {
    const QString path = fFiles[i];
    QAction* a = fMenu.addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(
        QDir::toNativeSeparators(path).replace(QLatin1Char('&'), QStringLiteral("&&"))));
    connect(a, &QAction::triggered, this, [this, path] { emit openRequested(path); });
  }
  fMenu.setEnabled(!fFiles.isEmpty());
}

} // namespace zarv::pad
