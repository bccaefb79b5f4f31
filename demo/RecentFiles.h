// The recent-files list: at most eight absolute paths, newest first, kept
// in the settings under "recentFiles" and shown as a submenu whose entries
// ask to be opened.
#pragma once

#include <QObject>
#include <QStringList>

class QMenu;
class QSettings;

namespace zarv::pad {

class TRecentFiles : public QObject {
  Q_OBJECT
public:
  // Reads the list from settings (not owned, must outlive this) and fills menu.
  TRecentFiles(QSettings& settings, QMenu& menu, QObject* parent = nullptr);

  QStringList Files() const { return fFiles; }
  // Moves fileName to the front (adding it), then saves and refreshes.
  void Add(const QString& fileName);
  void Remove(const QString& fileName);

signals:
  void openRequested(const QString& fileName);

private:
  void store();
  void rebuildMenu();

  static constexpr int kMaxFiles = 8;
  QSettings& fSettings;
  QMenu& fMenu;
  QStringList fFiles;
};

} // namespace zarv::pad
