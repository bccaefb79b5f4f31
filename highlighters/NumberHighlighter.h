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
#include <ZarvMemo/support/highlight/RunMerge.h>

#include <array>

namespace zarv {

class TParagraphsList;

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
  void findNumbers(TParagraphsList& L, int32_t p, int32_t s, int32_t e, int32_t base, std::vector<TRunToApply>& runs);
  TRunToApply numberRun(const DynInfoRec& inForce, int32_t inForceFrom, int32_t start, int32_t stop, int32_t base,
                        bool restoreAtStop) const;
  uint8_t runStyle() const {
    return static_cast<uint8_t>((fStyle & 0x0F) | (fAltFont ? fsAltFont : 0) | dsHasLevel | dsHasAttrib);
  }

  bool fCTypeHex = false;
  // Working space kept between paragraphs; a pass started from inside a
  // handler while one runs (fBusy) uses its own.
  std::vector<TRunToApply> fRuns;
  TDynInfoArray fMerged;
  bool fBusy = false;
  // The separators as a byte per 8-bit character, for the scan's inner
  // loop; made again when the separators change.
  std::array<uint8_t, 256> fIsSeparator{};
  TCharSet fTableFor;
  bool fTableMade = false;
  const uint8_t* separatorTable();
};

} // namespace zarv
