// THighlightInfo: the look of one highlighting category.
//
// A language highlighter exposes each of its categories (keywords, strings,
// comments, ...) as one of these; changing it restyles the keys of that
// category. Keys take a category as a style byte (the font styles in bits
// 0-3, the alternative font as bit 5) and two colours.
//
// OnChange (and the changed() signal) follow every change of AltFont,
// Style, Background or Foreground to a different value, and every Assign.
// Cursor is carried along but changes no look, so it reports nothing.
#pragma once

#include <ZarvMemo/platform/Color.h>
#include <ZarvMemo/support/store/ParRecords.h>

#include <QObject>
#include <functional>

namespace zarv {

class THighlightInfo : public QObject {
  Q_OBJECT
  Q_PROPERTY(bool AltFont READ getAltFont WRITE setAltFont)
  Q_PROPERTY(int Style READ getStyleInt WRITE setStyleInt)
  Q_PROPERTY(int Background READ getBackground WRITE setBackground)
  Q_PROPERTY(int Foreground READ getForeground WRITE setForeground)
  Q_PROPERTY(int Cursor READ getCursor WRITE setCursor)

public:
  explicit THighlightInfo(QObject* parent = nullptr) : QObject(parent) {}
  // A QObject: not copyable; Assign copies the look.
  THighlightInfo(const THighlightInfo&) = delete;
  THighlightInfo& operator=(const THighlightInfo&) = delete;

  bool getAltFont() const { return fAltFont; }
  void setAltFont(bool v);
  // Bold, italic, underline and strike-out (bits 0-3); other bits are dropped.
  TZarvFontStyles getStyle() const { return fStyle; }
  void setStyle(TZarvFontStyles v);
  int getStyleInt() const { return fStyle; }
  void setStyleInt(int v) { setStyle(static_cast<TZarvFontStyles>(v)); }
  TColor getBackground() const { return fBackground; }
  void setBackground(TColor v);
  TColor getForeground() const { return fForeground; }
  void setForeground(TColor v);
  int16_t getCursor() const { return fCursor; }
  void setCursor(int v) { fCursor = static_cast<int16_t>(v); }

  // Copies AltFont, Style, Background and Foreground (not Cursor) and
  // reports one change.
  void Assign(const THighlightInfo& source);
  // Sets the four values of the look and reports one change when any of
  // them differs.
  void SetLook(bool altFont, TZarvFontStyles style, TColor background, TColor foreground);
  bool SameLook(const THighlightInfo& other) const {
    return fAltFont == other.fAltFont && fStyle == other.fStyle && fBackground == other.fBackground &&
           fForeground == other.fForeground;
  }

  // The style byte keys of this category carry.
  uint8_t KeyStyle() const { return static_cast<uint8_t>(fStyle | (fAltFont ? fsAltFont : 0)); }

  std::function<void(THighlightInfo& Sender)> OnChange;

Q_SIGNALS:
  void changed();

private:
  void changedNow();

  bool fAltFont = false;
  TZarvFontStyles fStyle = 0;
  TColor fBackground = 0;
  TColor fForeground = 0;
  int16_t fCursor = 0;
};

} // namespace zarv
