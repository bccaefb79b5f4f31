// TNumberHighlighter: numeric literals in one style.
//
// A word (a maximal run of characters that are not separators) is a number
// when it is "$" followed by hexadecimal digits, "0x" followed by them (with
// CTypeHex), or decimal digits only. Signs, points and exponents are not
// part of a number: with "." and "-" as separators "1.5" is two numbers.
// Numbers are styled only where OkContext allows (the context value of the
// code in force equals Scope, or Priority is positive; OnQueryHilit may
// overrule) and never across a code boundary.
//
// The C++, Object Pascal and SQL highlighters each own one; it can also
// serve on its own or in a chain. It applies no keywords of its own and
// calls no sub-highlighter when applying numbers.
#pragma once

#include <ZarvMemo/highlighters/CustomExtHighlighter.h>

namespace zarv {

class TNumberHighlighter : public TCustomExtHighlighter {
  Q_OBJECT
  Q_PROPERTY(bool AltFont READ getAltFont WRITE setAltFont)
  Q_PROPERTY(int Background READ getBackgnd WRITE setBackgnd)
  Q_PROPERTY(int ContextNum READ getContextNum WRITE setContextNum)
  Q_PROPERTY(bool CTypeHex READ getCTypeHex WRITE setCTypeHex)
  Q_PROPERTY(int Foreground READ getForegnd WRITE setForegnd)
  Q_PROPERTY(QString Separators READ getSeparators WRITE setSeparators)
  Q_PROPERTY(int Style READ getStyleInt WRITE setStyleInt)
  Q_PROPERTY(int Scope READ getScope WRITE setScope)
  Q_PROPERTY(int Priority READ getPriority WRITE setPriority)

public:
  static constexpr int16_t kDefaultContext = 3000;
  static constexpr TColor kDefaultForeground = 0x0000FF;

  explicit TNumberHighlighter(QObject* parent = nullptr);

  bool getCTypeHex() const { return fCTypeHex; }
  void setCTypeHex(bool v);
  int getContextNum() const { return fContext; }
  void setContextNum(int v);
  int getStyleInt() const { return getStyle(); }
  void setStyleInt(int v) { setStyle(static_cast<TZarvFontStyles>(v)); }

  // Whether numbers may be styled under the code `Dyn`.
  bool OkContext(const DynInfoRec& Dyn);
  // Whether the n characters at w form a number.
  bool IsNumber(const char16_t* w, int32_t n) const;

  void ApplyKeywordsList(TZarvNavigator& StartNav, TZarvNavigator& StopNav, int32_t Base) override;

private:
  bool paragraph(TZarvMemoHost& memo, int32_t p, int32_t from, int32_t to, int32_t base);

  bool fCTypeHex = false;
};

} // namespace zarv
