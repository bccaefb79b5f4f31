// The key list editor's widgets, the panel of the selected keys' options,
// and the commands of its buttons and File menu.
#include <ZarvMemo/dialogs/KeysEditor.h>

#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/platform/Color.h>
#include <ZarvMemo/platform/Exceptions.h>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <exception>

namespace zarv {

namespace {

// A check box of the panel: the bit it shows of a key.
struct TBoxBit {
  const char* Name;
  const char* Caption;
  bool StartStopOnly;
  bool (*Get)(const TzvKeyWork&);
  void (*Set)(TzvKeyWork&, bool);
};

template <int Bit>
bool StyleGet(const TzvKeyWork& w) {
  return (w.Info.Style >> Bit) & 1;
}
template <int Bit>
void StyleSet(TzvKeyWork& w, bool on) {
  w.Info.Style = TZarvFontStyles(on ? (w.Info.Style | (1 << Bit)) : (w.Info.Style & ~(1 << Bit)));
}

const TBoxBit kBoxes[] = {
    {"matchCase", QT_TRANSLATE_NOOP("TDlgExtKeysEditor", "&Match case"), false,
     [](const TzvKeyWork& w) { return w.Info.Options.testFlag(woMatchCase); },
     [](TzvKeyWork& w, bool on) { w.Info.Options.setFlag(woMatchCase, on); }},
    {"wholeWords", QT_TRANSLATE_NOOP("TDlgExtKeysEditor", "&Whole words only"), false,
     [](const TzvKeyWork& w) { return w.Info.Options.testFlag(woWholeWordsOnly); },
     [](TzvKeyWork& w, bool on) { w.Info.Options.setFlag(woWholeWordsOnly, on); }},
    {"bold", QT_TRANSLATE_NOOP("TDlgExtKeysEditor", "&Bold"), false, StyleGet<0>, StyleSet<0>},
    {"italic", QT_TRANSLATE_NOOP("TDlgExtKeysEditor", "&Italic"), false, StyleGet<1>, StyleSet<1>},
    {"underline", QT_TRANSLATE_NOOP("TDlgExtKeysEditor", "&Underline"), false, StyleGet<2>, StyleSet<2>},
    {"strikeOut", QT_TRANSLATE_NOOP("TDlgExtKeysEditor", "&Strike out"), false, StyleGet<3>, StyleSet<3>},
    {"highlight", QT_TRANSLATE_NOOP("TDlgExtKeysEditor", "&Highlight"), false, StyleGet<4>, StyleSet<4>},
    {"altFont", QT_TRANSLATE_NOOP("TDlgExtKeysEditor", "&Alternate font"), false, StyleGet<5>, StyleSet<5>},
    {"crossPar", QT_TRANSLATE_NOOP("TDlgExtKeysEditor", "&Cross paragraphs"), true,
     [](const TzvKeyWork& w) { return !w.Flags.testFlag(ssoParStop); },
     [](TzvKeyWork& w, bool on) { w.Flags.setFlag(ssoParStop, !on); }},
    {"endAtDel", QT_TRANSLATE_NOOP("TDlgExtKeysEditor", "End at delimiter"), true,
     [](const TzvKeyWork& w) { return w.Flags.testFlag(ssoDelStop); },
     [](TzvKeyWork& w, bool on) { w.Flags.setFlag(ssoDelStop, on); }},
    {"collapsible", QT_TRANSLATE_NOOP("TDlgExtKeysEditor", "Collapsible"), true,
     [](const TzvKeyWork& w) { return w.Flags.testFlag(ssoCollapsible); },
     [](TzvKeyWork& w, bool on) { w.Flags.setFlag(ssoCollapsible, on); }},
};

// Mouse pointers by their stored numbers (0 and the negative stock shapes).
const std::pair<int16_t, const char*> kCursors[] = {
    {0, "Default"},    {-1, "None"},           {-2, "Arrow"},    {-3, "Cross"},      {-4, "I-beam"},
    {-5, "Size"},      {-6, "Size NE-SW"},     {-7, "Size N-S"}, {-8, "Size NW-SE"}, {-9, "Size W-E"},
    {-10, "Up arrow"}, {-11, "Hourglass"},     {-12, "Drag"},    {-13, "No drop"},   {-14, "Split H"},
    {-15, "Split V"},  {-16, "Multiple drag"}, {-17, "Wait"},    {-18, "No"},        {-19, "Starting"},
    {-20, "Help"},     {-21, "Hand point"},    {-22, "Size all"}};

// The positional options, as the radio group numbers them.
const TWordOption kPositions[] = {TWordOption(0), woFirstParWord, woFirstNonBlank, woStartPar};
constexpr int kPositionMask = woFirstParWord | woFirstNonBlank | woStartPar;

int PositionOf(const TzvKeyWork& w) {
  for (int i = 1; i < 4; ++i)
    if (w.Info.Options.testFlag(kPositions[i]))
      return i;
  return 0;
}

void SetGrey(QWidget& w, bool grey) {
  QPalette p = w.palette();
  p.setColor(QPalette::Text, grey ? QColor(0x80, 0x80, 0x80) : QApplication::palette(&w).color(QPalette::Text));
  p.setColor(QPalette::WindowText,
             grey ? QColor(0x80, 0x80, 0x80) : QApplication::palette(&w).color(QPalette::WindowText));
  w.setPalette(p);
}

const QString kTextFilter = QStringLiteral("Ini files (*.ini);;Text files (*.txt);;All files (*)");
const QString kBinaryFilter = QStringLiteral("Binary files (*.kbn);;All files (*)");

} // namespace

TDlgExtKeysEditor::TDlgExtKeysEditor(bool StartStop, bool Extended, bool AllowLoad, QWidget* parent)
    : QDialog(parent), fStartStop(StartStop), fExtended(Extended), fAllowLoad(AllowLoad) {
  const QString base = StartStop ? tr("Start-Stop keys Editor") : tr("Keywords editor");
  setWindowTitle(Extended ? tr("Extended ") + base : base);
  ChooseFile = [this](bool save, const QString& filter) {
    return save ? QFileDialog::getSaveFileName(this, QString(), QString(), filter)
                : QFileDialog::getOpenFileName(this, QString(), QString(), filter);
  };
  ChooseColor = [this](const QColor& initial) -> std::optional<QColor> {
    const QColor c = QColorDialog::getColor(initial, this);
    return c.isValid() ? std::optional<QColor>(c) : std::nullopt;
  };
  ShowMessage = [this](const QString& message) {
    QMessageBox box(QMessageBox::Warning, windowTitle(), message, QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
  };

  auto* top = new QVBoxLayout(this);
  buildMenu(AllowLoad);
  top->setMenuBar(fMenuBar);
  auto* row = new QHBoxLayout;
  auto* left = new QVBoxLayout;
  buildList();
  auto* title = new QLabel(StartStop ? QString() : tr("Keywords"), this);
  left->addWidget(title);
  left->addWidget(fList, 1);
  auto* hint = new QLabel(tr("Click on a selected item to edit it, or press F2 to edit the focused one"), this);
  hint->setWordWrap(true);
  hint->setVisible(AllowLoad);
  left->addWidget(hint);
  row->addLayout(left, 1);
  auto* panel = new QWidget(this);
  buildOptions(panel);
  row->addWidget(panel);
  row->addWidget(buildButtons());
  top->addLayout(row, 1);

  fPreview = new TZarvMemo(this);
  fPreview->setObjectName(QStringLiteral("preview"));
  fPreview->setReadOnly(true);
  fPreview->setMinimumHeight(80);
  fPreview->setMaximumHeight(120);
  top->addWidget(new QLabel(tr("Preview"), this));
  top->addWidget(fPreview);

  auto* ok = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(ok, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(ok, &QDialogButtonBox::rejected, this, &QDialog::reject);
  top->addWidget(ok);
  selectionChanged();
}

TDlgExtKeysEditor::~TDlgExtKeysEditor() = default;

void TDlgExtKeysEditor::buildList() {
  fList = new QTreeWidget(this);
  fList->setObjectName(QStringLiteral("keys"));
  fList->setSelectionMode(QAbstractItemView::ExtendedSelection);
  fList->setRootIsDecorated(false);
  fList->setColumnCount(fStartStop ? 2 : 1);
  fList->setHeaderLabels(fStartStop ? QStringList{tr("Start"), tr("Stop")} : QStringList{tr("Keyword")});
  fList->setHeaderHidden(!fStartStop);
  fList->setEditTriggers(fAllowLoad ? QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked |
                                          QAbstractItemView::DoubleClicked
                                    : QAbstractItemView::NoEditTriggers);
  connect(fList, &QTreeWidget::itemSelectionChanged, this, &TDlgExtKeysEditor::selectionChanged);
  connect(fList, &QTreeWidget::itemChanged, this, &TDlgExtKeysEditor::rowEdited);
}

void TDlgExtKeysEditor::buildOptions(QWidget* host) {
  auto* column = new QVBoxLayout(host);
  column->setContentsMargins(0, 0, 0, 0);
  fOptions = new QGroupBox(
      fStartStop ? tr("Options for selected start-stop keys") : tr("Options for selected keywords"), host);
  column->addWidget(fOptions);
  auto* grid = new QFormLayout(fOptions);
  fSelCount = new QLabel(fOptions);
  fSelCount->setObjectName(QStringLiteral("selCount"));
  grid->addRow(fSelCount);
  // The boxes in two columns: options and ranges left, styles right.
  auto* boxes = new QGridLayout;
  int left = 0, right = 0;
  for (const TBoxBit& b : kBoxes) {
    if (b.StartStopOnly && !fStartStop)
      continue;
    auto* box = new QCheckBox(tr(b.Caption), fOptions);
    box->setObjectName(QString::fromLatin1(b.Name));
    // A key-defining option is fixed in a read-only list.
    box->setEnabled(fAllowLoad || (QByteArray(b.Name) != "matchCase" && QByteArray(b.Name) != "wholeWords"));
    connect(box, &QCheckBox::clicked, this, [this, box] { boxClicked(box); });
    const bool style = b.Get == StyleGet<0> || b.Get == StyleGet<1> || b.Get == StyleGet<2> || b.Get == StyleGet<3> ||
                       b.Get == StyleGet<4> || b.Get == StyleGet<5>;
    if (style)
      boxes->addWidget(box, right++, 1);
    else
      boxes->addWidget(box, left++, 0);
  }
  grid->addRow(boxes);
  for (bool fore : {true, false}) {
    auto* line = new QHBoxLayout;
    auto* pick = new QPushButton(fore ? tr("For&eground...") : tr("Back&ground..."), fOptions);
    auto* swatch = new QLabel(fOptions);
    swatch->setFixedSize(24, 16);
    auto* clear = new QPushButton(tr("Clear"), fOptions);
    pick->setObjectName(fore ? QStringLiteral("foreground") : QStringLiteral("background"));
    clear->setObjectName(fore ? QStringLiteral("clearForeground") : QStringLiteral("clearBackground"));
    (fore ? fForeSwatch : fBackSwatch) = swatch;
    (fore ? fClearFore : fClearBack) = clear;
    connect(pick, &QPushButton::clicked, this, [this, fore] { chooseColor(fore); });
    connect(clear, &QPushButton::clicked, this, [this, fore] { SetColor(fore, std::nullopt); });
    line->addWidget(pick);
    line->addWidget(swatch);
    line->addWidget(clear);
    grid->addRow(line);
  }
  auto number = [&](QSpinBox*& box, const QString& label, const char* name) {
    box = new QSpinBox(fOptions);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(-32768, 32767);
    connect(box, &QSpinBox::valueChanged, this, [this, box] { numberEdited(box); });
    grid->addRow(label, box);
  };
  number(fContext, tr("Context &number"), "context");
  fCursor = new QComboBox(fOptions);
  for (const auto& [value, name] : kCursors)
    fCursor->addItem(tr(name), int(value));
  connect(fCursor, &QComboBox::activated, this, &TDlgExtKeysEditor::cursorChosen);
  grid->addRow(tr("Mouse &pointer"), fCursor);
  number(fScope, tr("S&cope"), "scope");
  number(fPriority, tr("Priority &level"), "priority");
  auto* positions = new QGroupBox(tr("Positional dependency"), fOptions);
  auto* posColumn = new QGridLayout(positions);
  fPosition = new QButtonGroup(this);
  const char* names[] = {QT_TR_NOOP("None"), QT_TR_NOOP("First word of paragraph"), QT_TR_NOOP("First non blank item"),
                         QT_TR_NOOP("Start of paragraph")};
  for (int i = 0; i < 4; ++i) {
    auto* r = new QRadioButton(tr(names[i]), positions);
    fPosition->addButton(r, i);
    posColumn->addWidget(r, i / 2, i % 2);
  }
  connect(fPosition, &QButtonGroup::idClicked, this, &TDlgExtKeysEditor::positionChosen);
  grid->addRow(positions);
  for (QWidget* w : std::initializer_list<QWidget*>{fScope, fPriority, positions, grid->labelForField(fScope),
                                                    grid->labelForField(fPriority)})
    w->setVisible(fExtended);
  for (QWidget* w : std::initializer_list<QWidget*>{fContext, fScope, fPriority, positions})
    w->setEnabled(fAllowLoad);
}

QWidget* TDlgExtKeysEditor::buildButtons() {
  auto* host = new QWidget(this);
  auto* column = new QVBoxLayout(host);
  const std::pair<const char*, std::function<void()>> buttons[] = {
      {QT_TR_NOOP("Add"), [this] { AddKey(false); }},
      {QT_TR_NOOP("Insert"), [this] { AddKey(true); }},
      {QT_TR_NOOP("Delete"), [this] { DeleteSelected(); }},
      {QT_TR_NOOP("Move up"), [this] { MoveCurrent(-1); }},
      {QT_TR_NOOP("Move down"), [this] { MoveCurrent(1); }}};
  for (const auto& [caption, run] : buttons) {
    auto* b = new QPushButton(tr(caption), host);
    b->setObjectName(QString::fromLatin1(caption).remove(QLatin1Char(' ')).toLower());
    b->setAutoDefault(false);
    b->setEnabled(fAllowLoad || QByteArray(caption).startsWith("Move"));
    connect(b, &QPushButton::clicked, this, run);
    column->addWidget(b);
  }
  column->addStretch(1);
  return host;
}

void TDlgExtKeysEditor::buildMenu(bool allowLoad) {
  fMenuBar = new QMenuBar(this);
  fFileMenu = fMenuBar->addMenu(tr("&File"));
  const char* loads[] = {QT_TR_NOOP("&Load list (text)..."), QT_TR_NOOP("Load list and attributes (text)..."),
                         QT_TR_NOOP("Load list and attributes (binary)...")};
  const char* saves[] = {QT_TR_NOOP("Save list (text)..."), QT_TR_NOOP("Save list and attributes (text)..."),
                         QT_TR_NOOP("Save list and attributes (binary)...")};
  for (int k = 0; k < 3; ++k)
    connect(fFileMenu->addAction(tr(loads[k])), &QAction::triggered, this, [this, k] { LoadFile(k); });
  for (QAction* a : fFileMenu->actions())
    a->setVisible(allowLoad);
  fFileMenu->addSeparator()->setVisible(allowLoad);
  for (int k = 0; k < 3; ++k)
    connect(fFileMenu->addAction(tr(saves[k])), &QAction::triggered, this, [this, k] { SaveFile(k); });
  // Start-stop lists of the plain kind carry no file forms of their own.
  fMenuBar->setVisible(!fStartStop || fExtended);
}

// ---- Rows ---------------------------------------------------------------------------------------

void TDlgExtKeysEditor::setWorks(const TzvKeyWorks& works) {
  fWorks = works;
  fModified = false;
  fillRows();
}

QTreeWidgetItem* TDlgExtKeysEditor::makeRow(const TzvKeyWork& w) {
  auto* item = new QTreeWidgetItem(fStartStop ? QStringList{w.Key, w.StopKey} : QStringList{w.Key});
  if (fAllowLoad)
    item->setFlags(item->flags() | Qt::ItemIsEditable);
  return item;
}

void TDlgExtKeysEditor::fillRows() {
  const QSignalBlocker block(fList);
  fList->clear();
  for (const TzvKeyWork& w : fWorks)
    fList->addTopLevelItem(makeRow(w));
  if (!fWorks.empty()) {
    fList->setCurrentItem(fList->topLevelItem(0));
    fList->topLevelItem(0)->setSelected(true);
  }
  selectionChanged();
}

std::vector<int> TDlgExtKeysEditor::selectedRows() const {
  std::vector<int> rows;
  for (int i = 0; i < fList->topLevelItemCount(); ++i)
    if (fList->topLevelItem(i)->isSelected())
      rows.push_back(i);
  return rows;
}

void TDlgExtKeysEditor::rowEdited(QTreeWidgetItem* item, int column) {
  const int row = fList->indexOfTopLevelItem(item);
  if (row < 0 || row >= int(fWorks.size()))
    return;
  QString& key = column == 0 ? fWorks[size_t(row)].Key : fWorks[size_t(row)].StopKey;
  if (key != item->text(column)) {
    key = item->text(column);
    fModified = true;
    refreshPreview();
  }
}

void TDlgExtKeysEditor::AddKey(bool InsertBeforeCurrent) {
  if (!fAllowLoad)
    return;
  int at = int(fWorks.size());
  if (InsertBeforeCurrent)
    at = fList->currentItem() ? fList->indexOfTopLevelItem(fList->currentItem()) : 0;
  fWorks.insert(fWorks.begin() + at, TzvKeyWork{});
  fModified = true;
  QTreeWidgetItem* item = makeRow(fWorks[size_t(at)]);
  {
    const QSignalBlocker block(fList);
    fList->insertTopLevelItem(at, item);
    fList->clearSelection();
    fList->setCurrentItem(item);
    item->setSelected(true);
  }
  selectionChanged();
  fList->editItem(item, 0);
}

void TDlgExtKeysEditor::DeleteSelected() {
  const std::vector<int> rows = selectedRows();
  if (!fAllowLoad || rows.empty())
    return;
  {
    const QSignalBlocker block(fList);
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
      delete fList->takeTopLevelItem(*it);
      fWorks.erase(fWorks.begin() + *it);
    }
  }
  fModified = true;
  selectionChanged();
}

void TDlgExtKeysEditor::MoveCurrent(int Delta) {
  int row = fList->currentItem() && fList->currentItem()->isSelected()
                ? fList->indexOfTopLevelItem(fList->currentItem())
                : (selectedRows().empty() ? -1 : selectedRows().front());
  const int to = row + Delta;
  if (row < 0 || to < 0 || to >= int(fWorks.size()))
    return;
  std::swap(fWorks[size_t(row)], fWorks[size_t(to)]);
  {
    const QSignalBlocker block(fList);
    QTreeWidgetItem* item = fList->takeTopLevelItem(row);
    fList->insertTopLevelItem(to, item);
    fList->clearSelection();
    fList->setCurrentItem(item);
    item->setSelected(true);
  }
  fModified = true;
  selectionChanged();
}

// ---- The options panel --------------------------------------------------------------------------

QCheckBox& TDlgExtKeysEditor::Box(const QString& objectName) const {
  auto* b = fOptions->findChild<QCheckBox*>(objectName);
  Q_ASSERT(b);
  return *b;
}

void TDlgExtKeysEditor::selectionChanged() {
  refreshPanel();
  refreshPreview();
}

void TDlgExtKeysEditor::refreshPanel() {
  const std::vector<int> rows = selectedRows();
  fInSelect = true;
  fSelCount->setText(tr("%1 of %2 selected").arg(rows.size()).arg(fWorks.size()));
  fOptions->setEnabled(!rows.empty());
  if (!rows.empty()) {
    const TzvKeyWork& first = fWorks[size_t(rows.front())];
    auto differs = [&](auto get) {
      for (int r : rows)
        if (get(fWorks[size_t(r)]) != get(first))
          return true;
      return false;
    };
    for (const TBoxBit& b : kBoxes) {
      if (b.StartStopOnly && !fStartStop)
        continue;
      QCheckBox& box = Box(QString::fromLatin1(b.Name));
      const bool grey = differs(b.Get);
      box.setTristate(grey);
      box.setCheckState(grey ? Qt::PartiallyChecked : (b.Get(first) ? Qt::Checked : Qt::Unchecked));
    }
    const std::pair<QSpinBox*, int32_t (*)(const TzvKeyWork&)> numbers[] = {
        {fContext, [](const TzvKeyWork& w) { return w.Info.ContextNumber; }},
        {fScope, [](const TzvKeyWork& w) { return w.Scope; }},
        {fPriority, [](const TzvKeyWork& w) { return w.Priority; }}};
    for (const auto& [box, get] : numbers) {
      box->setValue(get(first));
      SetGrey(*box, differs(get));
    }
    fCursor->setCurrentIndex(std::max(0, fCursor->findData(int(first.Info.Cursor))));
    SetGrey(*fCursor, differs([](const TzvKeyWork& w) { return w.Info.Cursor; }));
    fPosition->button(PositionOf(first))->setChecked(true);
    SetGrey(*fPosition->button(0)->parentWidget(), differs(PositionOf));
    const std::pair<QLabel*, QPushButton*> swatches[] = {{fForeSwatch, fClearFore}, {fBackSwatch, fClearBack}};
    for (int i = 0; i < 2; ++i) {
      const TColor c = i == 0 ? first.Info.Foregnd : first.Info.Backgnd;
      const bool set = c != clDefault && c != clNone;
      swatches[i].first->setVisible(set);
      swatches[i].second->setVisible(set);
      if (set)
        swatches[i].first->setStyleSheet(
            QStringLiteral("background:%1;border:1px solid gray").arg(ColorToQColor(c, palette()).name()));
    }
  }
  fInSelect = false;
}

void TDlgExtKeysEditor::forSelected(const std::function<void(TzvKeyWork&)>& change) {
  const std::vector<int> rows = selectedRows();
  for (int r : rows)
    change(fWorks[size_t(r)]);
  if (!rows.empty())
    fModified = true;
  refreshPreview();
}

void TDlgExtKeysEditor::boxClicked(QCheckBox* box) {
  if (fInSelect || box->checkState() == Qt::PartiallyChecked)
    return;
  box->setTristate(false);
  for (const TBoxBit& b : kBoxes)
    if (box->objectName() == QLatin1String(b.Name)) {
      const bool on = box->checkState() == Qt::Checked;
      forSelected([&](TzvKeyWork& w) { b.Set(w, on); });
    }
}

void TDlgExtKeysEditor::numberEdited(QSpinBox* box) {
  if (fInSelect)
    return;
  const int v = box->value();
  SetGrey(*box, false);
  forSelected([&](TzvKeyWork& w) {
    if (box == fContext)
      w.Info.ContextNumber = v;
    else if (box == fScope)
      w.Scope = v;
    else
      w.Priority = v;
  });
}

void TDlgExtKeysEditor::cursorChosen(int index) {
  if (fInSelect || index < 0)
    return;
  const int16_t c = int16_t(fCursor->itemData(index).toInt());
  SetGrey(*fCursor, false);
  forSelected([&](TzvKeyWork& w) { w.Info.Cursor = c; });
}

void TDlgExtKeysEditor::positionChosen(int id) {
  if (fInSelect || id < 0 || id > 3)
    return;
  forSelected(
      [&](TzvKeyWork& w) { w.Info.Options = TWordOptions(int(w.Info.Options) & ~kPositionMask) | kPositions[id]; });
}

void TDlgExtKeysEditor::chooseColor(bool foreground) {
  const std::vector<int> rows = selectedRows();
  if (rows.empty())
    return;
  const TColor now = foreground ? fWorks[size_t(rows.front())].Info.Foregnd : fWorks[size_t(rows.front())].Info.Backgnd;
  const QColor initial = now == clDefault || now == clNone ? QColor(Qt::black) : ColorToQColor(now, palette());
  if (const std::optional<QColor> c = ChooseColor(initial))
    SetColor(foreground, c);
}

void TDlgExtKeysEditor::SetColor(bool Foreground, std::optional<QColor> c) {
  const TColor value = c ? QColorToColor(*c) : clDefault;
  forSelected([&](TzvKeyWork& w) { (Foreground ? w.Info.Foregnd : w.Info.Backgnd) = value; });
  refreshPanel();
}

// ---- Preview ------------------------------------------------------------------------------------

// The selected keys (or all) each on a line, highlighted by the preview's
// own lists built from the rows.
void TDlgExtKeysEditor::refreshPreview() {
  if (!fPreview)
    return;
  std::vector<int> rows = selectedRows();
  if (rows.empty())
    for (int i = 0; i < int(fWorks.size()); ++i)
      rows.push_back(i);
  TzvKeyWorks shown;
  QString text;
  for (int r : rows) {
    if (shown.size() >= 200)
      break;
    shown.push_back(fWorks[size_t(r)]);
    const TzvKeyWork& w = shown.back();
    text += (fStartStop ? w.Key + tr(" sample ") + w.StopKey : w.Key) + QStringLiteral("\r\n");
  }
  try {
    if (fStartStop)
      TzvKeyListFiles::ToList(shown, fPreview->StartStopKeys());
    else
      TzvKeyListFiles::ToList(shown, fPreview->Keywords());
    fPreview->SetTextBuf(text);
    fPreview->ReApplyKeywords();
  } catch (const std::exception& e) {
    qWarning("Key list preview: %s", e.what());
  }
}

// ---- Files --------------------------------------------------------------------------------------

bool TDlgExtKeysEditor::LoadFile(int Kind) {
  const QString name = ChooseFile(false, Kind == 2 ? kBinaryFilter : kTextFilter);
  if (name.isEmpty())
    return false;
  TzvKeyWorks added;
  try {
    added = Kind == 0   ? TzvKeyListFiles::LoadText(name, fStartStop)
            : Kind == 1 ? TzvKeyListFiles::LoadIni(name, fStartStop, fExtended)
                        : TzvKeyListFiles::LoadBinary(name, fStartStop, fExtended);
    if (int64_t(fWorks.size() + added.size()) > TzvKeyListFiles::Capacity(fStartStop))
      throw EListError();
  } catch (const std::exception& e) {
    ShowMessage(QString::fromUtf8(e.what()));
    return false;
  }
  if (added.empty())
    return true;
  fWorks.insert(fWorks.end(), added.begin(), added.end());
  fModified = true;
  fillRows();
  return true;
}

bool TDlgExtKeysEditor::SaveFile(int Kind) {
  const QString name = ChooseFile(true, Kind == 2 ? kBinaryFilter : kTextFilter);
  if (name.isEmpty())
    return false;
  try {
    if (Kind == 0)
      TzvKeyListFiles::SaveText(name, fWorks, fStartStop);
    else if (Kind == 1)
      TzvKeyListFiles::SaveIni(name, fWorks, fStartStop, fExtended);
    else
      TzvKeyListFiles::SaveBinary(name, fWorks, fStartStop, fExtended);
  } catch (const std::exception& e) {
    ShowMessage(QString::fromUtf8(e.what()));
    return false;
  }
  return true;
}

// ---- Entry points -------------------------------------------------------------------------------

bool EditKeywordList(TKeywordList& List, bool Extended, bool AllowLoad, QWidget* parent) {
  TDlgExtKeysEditor d(false, Extended, AllowLoad, parent);
  d.setWorks(TzvKeyListFiles::FromList(List));
  if (d.exec() != QDialog::Accepted || !d.Modified())
    return false;
  TzvKeyListFiles::ToList(d.Works(), List);
  return true;
}

bool EditStartStopList(TStartStopKeyList& List, bool Extended, QWidget* parent) {
  TDlgExtKeysEditor d(true, Extended, true, parent);
  d.setWorks(TzvKeyListFiles::FromList(List));
  if (d.exec() != QDialog::Accepted || !d.Modified())
    return false;
  TzvKeyListFiles::ToList(d.Works(), List);
  return true;
}

} // namespace zarv
