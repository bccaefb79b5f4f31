// TZarvMemo: the multi-line editor control.
//
// The control is a QAbstractScrollArea whose viewport shows the text of its
// paragraph store. It owns the store and every navigator created on it, and
// keeps the layout fields the store layer reads (TZarvMemoHost) current with
// its font and viewport. This is the control's foundation: the properties
// that positions and measuring depend on. Editing, painting, scrolling and
// input build on it.
#pragma once

#include <ZarvMemo/support/MemoHost.h>
#include <ZarvMemo/support/store/ParagraphsList.h>

#include <QAbstractScrollArea>
#include <QString>

namespace zarv {

class TZarvMemo : public QAbstractScrollArea, public TZarvMemoHost {
  Q_OBJECT
  Q_PROPERTY(bool WordWrap READ getWordWrap WRITE setWordWrap)
  Q_PROPERTY(bool Justified READ getJustified WRITE setJustified)
  Q_PROPERTY(int LeftMargin READ getLeftMargin WRITE setLeftMargin)
  Q_PROPERTY(int RightMargin READ getRightMargin WRITE setRightMargin)
  Q_PROPERTY(int TabStops READ getTabStops WRITE setTabStops)
  Q_PROPERTY(QString Separators READ getSeparators WRITE setSeparators)
  Q_PROPERTY(bool ApplyKeyWords READ getApplyKeyWords WRITE setApplyKeyWords)
  Q_PROPERTY(bool ApplyStartStopKeys READ getApplyStartStopKeys WRITE setApplyStartStopKeys)
  Q_PROPERTY(bool StaticFormat READ getStaticFormat WRITE setStaticFormat)

public:
  explicit TZarvMemo(QWidget* parent = nullptr);
  ~TZarvMemo() override;

  int32_t ClientWidth() const override;
  QFont BaseFont() const override { return font(); }

  bool getWordWrap() const { return fWordWrap; }
  void setWordWrap(bool v) { fWordWrap = v; }
  TAlignment getAlignment() const { return fAlignment; }
  void setAlignment(TAlignment a) { fAlignment = a; }
  bool getJustified() const { return fJustified; }
  void setJustified(bool v) { fJustified = v; }
  int getLeftMargin() const { return fLeftMargin; }
  void setLeftMargin(int v) { TZarvMemoHost::setLeftMargin(v); }
  int getRightMargin() const { return fRightMargin; }
  void setRightMargin(int v) { TZarvMemoHost::setRightMargin(v); }
  int getTabStops() const { return fTabStops; }
  void setTabStops(int v) { TZarvMemoHost::setTabStops(v); }
  bool getStaticFormat() const { return fParagraphs->fStaticFormat; }
  void setStaticFormat(bool v) { fParagraphs->fStaticFormat = v; }
  // Word separators as 8-bit characters; CR and LF are always separators.
  // Reading returns the set in ascending code order.
  QString getSeparators() const;
  void setSeparators(const QString& s);
  bool getApplyKeyWords() const { return fApplyKeyWords; }
  void setApplyKeyWords(bool v) { fApplyKeyWords = v; }
  bool getApplyStartStopKeys() const { return fApplyStartStopKeys; }
  void setApplyStartStopKeys(bool v) { fApplyStartStopKeys = v; }
  // A fixed line height (>= 1, at most 65 535) or automatic (< 1).
  void setLineHeight(int32_t v);
  void setAltFont(const QFont& f) { fAltFont = f; }

  // Replaces the whole text (breaks of any style).
  void SetTextBuf(const QString& text);
  QString GetTextContent() const { return fParagraphs->Text(zsbCRLF); }

protected:
  void changeEvent(QEvent* e) override;
};

} // namespace zarv
