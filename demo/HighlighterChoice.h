// Which highlighter ZarvPad's editor uses: chosen by the file name's
// suffix, shown in the status bar, and overridden from View > Highlighting
// until another document is opened or made.
//
// The languages are one table (Languages()): a name, the suffixes that
// choose it, and how its highlighter is made. Highlighters that every
// language shares (shown on top of any of them, plain text included) are
// another table (Chained()); each is chained after the language's own.
// A new language or a new shared highlighter is one entry.
//
// A chain is made once per language, the first time it is used, and kept
// (owned by this object) while ZarvPad runs.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <vector>

class QActionGroup;
class QLabel;
class QMenu;
class QStatusBar;
class QWidget;

namespace zarv {
class TZarvHighlighter;
class TZarvMemo;
} // namespace zarv

namespace zarv::pad {

class THighlighterChoice : public QObject {
  Q_OBJECT
public:
  using TMake = std::function<TZarvHighlighter*(QObject* owner)>;
  struct TLanguage {
    QString Name;
    QStringList Suffixes; // lower case, without the dot
    TMake Make;           // null: plain text
    bool Code;            // word moves stop at punctuation
  };
  // Index 0 is plain text.
  static const std::vector<TLanguage>& Languages();
  static const std::vector<TMake>& Chained();
  // The language of a file name (by its suffix, any case); 0 for others.
  static int LanguageOfFile(const QString& fileName);

  // Shows the language's name in `bar`.
  THighlighterChoice(TZarvMemo& memo, QStatusBar& bar, QObject* parent);

  // The language of the document's file, unless the user chose one since
  // the document was opened... which a new document forgets.
  void ChooseForFile(const QString& fileName);
  // The user's choice from the menu, kept until the next ChooseForFile.
  void Choose(int language);
  int Current() const { return fCurrent; }
  QString CurrentName() const { return Languages()[size_t(fCurrent)].Name; }
  TZarvHighlighter* CurrentHighlighter() const;

  // View > Highlighting: "By File Type" and one entry per language.
  QMenu* CreateMenu(QWidget* parent);

Q_SIGNALS:
  void changed(int language);

private:
  void apply(int language);
  void refreshMenu();

  TZarvMemo& fMemo;
  QLabel* fLabel;
  QString fPlainSeparators;
  int fCurrent = -1;
  bool fByUser = false;
  QString fFileName;
  std::map<int, TZarvHighlighter*> fChains; // children of this object
  QActionGroup* fGroup = nullptr;
};

} // namespace zarv::pad
