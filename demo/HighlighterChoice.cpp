// The table of ZarvPad's languages and the switching between them.
#include "HighlighterChoice.h"

#include "CppSyntax.h"

#include <ZarvMemo/highlighters/CPPHighlighter.h>
#include <ZarvMemo/highlighters/HtmlHighlighter.h>
#include <ZarvMemo/highlighters/OOPHighlighter.h>
#include <ZarvMemo/highlighters/SQLHighlighter.h>
#include <ZarvMemo/memo/ZarvMemo.h>

#include <QActionGroup>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>

namespace zarv::pad {

namespace {

template <class T>
THighlighterChoice::TMake Make() {
  return [](QObject* owner) -> TZarvHighlighter* { return new T(owner); };
}

} // namespace

const std::vector<THighlighterChoice::TLanguage>& THighlighterChoice::Languages() {
  static const std::vector<TLanguage> languages = {
      {QObject::tr("Plain Text"), {}, nullptr, false},
      {QObject::tr("C/C++"), {"c", "cc", "cpp", "cxx", "h", "hpp", "hh", "inl"}, Make<TCPPHighlighter>(), true},
      {QObject::tr("Object Pascal"), {"pas", "pp", "dpr", "inc"}, Make<TOOPHighlighter>(), true},
      {QObject::tr("SQL"), {"sql"}, Make<TSQLHighlighter>(), true},
      {QObject::tr("HTML"), {"html", "htm"}, Make<THtmlHighlighter>(), true},
      {QObject::tr("XML"),
       {"xml", "xhtml", "svg"},
       [](QObject* owner) -> TZarvHighlighter* {
         auto* h = new THtmlHighlighter(owner);
         h->setXMLSyntax(true);
         return h;
       },
       true},
  };
  return languages;
}

const std::vector<THighlighterChoice::TMake>& THighlighterChoice::Chained() {
  static const std::vector<TMake> chained = {};
  return chained;
}

int THighlighterChoice::LanguageOfFile(const QString& fileName) {
  const QString suffix = QFileInfo(fileName).suffix().toLower();
  const std::vector<TLanguage>& all = Languages();
  for (size_t i = 1; i < all.size(); ++i)
    if (all[i].Suffixes.contains(suffix))
      return int(i);
  return 0;
}

THighlighterChoice::THighlighterChoice(TZarvMemo& memo, QStatusBar& bar, QObject* parent)
    : QObject(parent), fMemo(memo), fLabel(new QLabel(&bar)), fPlainSeparators(memo.getSeparators()) {
  fLabel->setObjectName(QStringLiteral("highlighting"));
  fLabel->setToolTip(tr("Highlighting (View > Highlighting)"));
  bar.addPermanentWidget(fLabel);
  apply(0);
}

TZarvHighlighter* THighlighterChoice::CurrentHighlighter() const {
  const auto it = fChains.find(fCurrent);
  return it == fChains.end() ? nullptr : it->second;
}

void THighlighterChoice::ChooseForFile(const QString& fileName) {
  fByUser = false;
  fFileName = fileName;
  apply(LanguageOfFile(fileName));
}

void THighlighterChoice::Choose(int language) {
  if (language < 0) {
    ChooseForFile(fFileName);
    return;
  }
  fByUser = true;
  apply(language);
}

void THighlighterChoice::apply(int language) {
  const bool changedLanguage = language != fCurrent;
  fCurrent = language;
  const TLanguage& l = Languages()[size_t(language)];
  TZarvHighlighter* chain = nullptr;
  if (const auto it = fChains.find(language); it != fChains.end()) {
    chain = it->second;
  } else {
    // The language's highlighter, then every shared one after it.
    TZarvHighlighter* last = l.Make ? l.Make(this) : nullptr;
    chain = last;
    for (const TMake& make : Chained()) {
      TZarvHighlighter* next = make(this);
      if (auto* ext = qobject_cast<TCustomExtHighlighter*>(last))
        ext->setSubHighlighter(next);
      else if (!chain)
        chain = next;
      last = next;
    }
    fChains[language] = chain;
  }
  fMemo.setSeparators(l.Code ? CppSeparators() : fPlainSeparators);
  if (fMemo.Highlighter() != chain)
    fMemo.setHighlighter(chain);
  fLabel->setText(l.Name);
  refreshMenu();
  if (changedLanguage)
    Q_EMIT changed(language);
}

QMenu* THighlighterChoice::CreateMenu(QWidget* parent) {
  auto* menu = new QMenu(tr("&Highlighting"), parent);
  fGroup = new QActionGroup(menu);
  QAction* automatic = menu->addAction(tr("By &File Type"));
  automatic->setData(-1);
  menu->addSeparator();
  for (size_t i = 0; i < Languages().size(); ++i)
    menu->addAction(Languages()[i].Name)->setData(int(i));
  for (QAction* a : menu->actions()) {
    if (a->isSeparator())
      continue;
    a->setCheckable(true);
    fGroup->addAction(a);
  }
  // "By File Type" is not exclusive with the language it chose.
  automatic->setActionGroup(nullptr);
  connect(menu, &QMenu::triggered, this, [this](QAction* a) { Choose(a->data().toInt()); });
  refreshMenu();
  return menu;
}

void THighlighterChoice::refreshMenu() {
  if (!fGroup)
    return;
  for (QAction* a : fGroup->parent() ? static_cast<QMenu*>(fGroup->parent())->actions() : QList<QAction*>()) {
    if (a->isSeparator())
      continue;
    const int data = a->data().toInt();
    a->setChecked(data < 0 ? !fByUser : data == fCurrent);
  }
}

} // namespace zarv::pad
