// Editing commands: typed characters with overwrite, Enter with
// auto-indent, Tab with smart tabs, Backspace with back-indent, Delete, the
// selection kept aside while typing (persistent blocks), formatting codes
// around the selection, and column-block insertion. Every command changes
// the text through setSelText / SetSelTextBuf, so it is undoable and told
// like any edit; keys and the mouse only map onto these operations.
#include <ZarvMemo/memo/ZarvMemo.h>

#include <ZarvMemo/support/navigator/Navigator.h>

#include <QRegularExpression>
#include <algorithm>

namespace zarv {

namespace {

bool isBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }

int32_t leadingBlanks(const QString& s) {
  int32_t n = 0;
  while (n < s.size() && isBlank(s[n]))
    ++n;
  return n;
}

} // namespace

// ---- Keeping the selection aside ----------------------------------------------------------------------

void TZarvMemo::PrepareKeepBlock() try {
  const TEntryScope entry(ownerId());
  const int32_t caret = getSelStart();
  if (fOptions.testFlag(zvoPersistentBlocks) && fSelLen != 0 && !fKeepA) {
    fKeepA = new TZarvNavigator(static_cast<QObject*>(this));
    fKeepB = new TZarvNavigator(static_cast<QObject*>(this));
    fKeepA->Assign(*fSelStart);
    fKeepB->Assign(*fSelStop);
    fKeepA->fAdjustRight = true; // text typed at either end stays outside the block
    fKeepBlock = fBlockSelection;
    fKeepCols = {fBlockStartCol, fBlockStopCol};
    clearSelection(caret);
    BeginUpdate();
    return;
  }
  fBlockSelection = false;
  clearSelection(caret);
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::EndKeepBlock() try {
  const TEntryScope entry(ownerId());
  if (!fKeepA)
    return;
  const int32_t caret = getSelStart();
  fSelStart->Assign(*fKeepA);
  fSelStop->Assign(*fKeepB);
  delete fKeepA;
  delete fKeepB;
  fKeepA = fKeepB = nullptr;
  fSelLen = fSelStop->GetPos() - fSelStart->GetPos();
  fBlockSelection = fKeepBlock && fSelLen != 0;
  fBlockStartCol = fKeepCols.first;
  fBlockStopCol = fKeepCols.second;
  // The caret stays where the edit left it, apart from the block.
  fIndependantCpNav->SetPos(caret);
  fcp = fIndependantCpNav;
  fExtraCols.clear();
  EndUpdate();
  ScrollInView();
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

// ---- Typed characters ------------------------------------------------------------------------------------

bool TZarvMemo::KeyPress(char16_t Key) try {
  const TEntryScope entry(ownerId());
  if (fLockedCount > 0 || fDragging || fDisplayOnly || (fReadOnly && Key != 3))
    return false;
  TKeepBlockScope kept(*this, fOptions.testFlag(zvoNoOverwriteBlocks) && Key != 3 && Key != 22 && Key != 24);
  bool handled = true;
  if (Key > 30 && Key != 127) {
    typeText(QString(QChar(Key)));
  } else {
    switch (Key) {
    case 13:
      typeEnter();
      break;
    case 9:
      typeTab();
      break;
    case 1:
      SelectAll();
      break;
    case 3:
      CopyToClipboard();
      break;
    case 22:
      PasteFromClipboard();
      break;
    case 24:
      CutToClipboard();
      break;
    case 5:
      Repaint();
      CheckIntegrity();
      break;
    default:
      handled = false;
    }
  }
  kept.Close();
  if (handled && Key != 1 && Key != 3)
    ScrollInView();
  return handled;
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
  return {};
}

// Text typed as one piece (a character, a surrogate pair or an input
// method's commit).
void TZarvMemo::TypeText(const QString& Text) try {
  const TEntryScope entry(ownerId());
  if (Text.isEmpty() || fLockedCount > 0 || fDragging || fDisplayOnly || fReadOnly)
    return;
  if (Text.size() == 1) {
    KeyPress(Text[0].unicode());
    return;
  }
  TKeepBlockScope kept(*this, fOptions.testFlag(zvoNoOverwriteBlocks));
  typeText(Text);
  kept.Close();
  ScrollInView();
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::typeText(const QString& s) {
  const ParInfo& par = *fcp->GetPar();
  const int32_t off = fcp->GetOffset(), len = GetParLength(par);
  if (fOverWrite && fSelLen == 0 && off < len) {
    // The character under the caret is replaced (both halves of a pair).
    const bool pair =
        off + 1 < len && QChar::isHighSurrogate(par.ParText[off]) && QChar::isLowSurrogate(par.ParText[off + 1]);
    const QString extra = fExtraCols;
    setSelLength(pair ? 2 : 1);
    fExtraCols = extra;
  } else if (s == QLatin1String(" ") && fSelLen == 0 && off >= len && fOptions.testFlag(zvoDiscardTrailingSpaces)) {
    fExtraCols += QLatin1Char(' '); // a blank at the end stays virtual
    UpdateCaret(false);
    return;
  }
  setSelText(s);
}

void TZarvMemo::typeEnter() {
  TParagraphsList& L = *fParagraphs;
  if (fOverWrite && fSelLen == 0) {
    // Overwrite does not split lines: the caret goes to the next line.
    const int32_t line = fcp->GetLineNb();
    if (line >= L.fTrueLineCount - 1) {
      setSelStart(getCharCount());
      setSelText(QStringLiteral("\r\n"));
    } else {
      TZarvNavigator n(&L);
      n.AttachMemo(this);
      n.SetLineNb(line + 1);
      setSelStart(n.GetPos());
    }
    return;
  }
  if (fSelLen != 0 || !fOptions.testFlag(zvoAutoIndent)) {
    setSelText(QStringLiteral("\r\n"));
    return;
  }
  // The indent of the caret's line, or of the nearest non-empty line above,
  // up to the caret's column.
  QString source;
  for (int32_t l = fcp->GetLineNb(); l >= 0; --l) {
    source = getLineString(l);
    if (!source.isEmpty())
      break;
  }
  const QString indent = source.left(std::min(leadingBlanks(source), fcp->GetColNb()));
  const bool atEnd = fcp->GetOffset() >= GetParLength(*fcp->GetPar());
  if (fOptions.testFlag(zvoDiscardTrailingSpaces) && atEnd) {
    setSelText(QStringLiteral("\r\n"));
    QString cols;
    for (QChar c : indent)
      cols += c == QLatin1Char('\t') && fTabStops > 0 ? QString(fTabStops, QLatin1Char(' ')) : QStringLiteral(" ");
    fExtraCols = cols;
    UpdateCaret(false);
    return;
  }
  setSelText(QStringLiteral("\r\n") + indent);
}

void TZarvMemo::typeTab() {
  if (fOptions.testFlag(zvoSmartTabs)) {
    setSelText(getSelText() + SmartTabText());
    return;
  }
  if (fSelLen == 0 && fcp->GetOffset() >= GetParLength(*fcp->GetPar()) && fOptions.testFlag(zvoDiscardTrailingSpaces)) {
    fExtraCols += QLatin1Char('\t');
    UpdateCaret(false);
    return;
  }
  setSelText(QStringLiteral("\t"));
}

// Spaces that align the caret under the next word of the nearest line
// above that reaches past the caret's column.
QString TZarvMemo::SmartTabText() {
  if (fWordWrap)
    return QStringLiteral("\t");
  const int32_t p = fcp->GetParNb();
  if (p == 0)
    return {};
  const int32_t c = OffsetToColumn(p, fcp->GetOffset()) + int32_t(fExtraCols.size());
  TParagraphsList& L = *fParagraphs;
  for (int32_t q = p - 1; q >= 0; --q) {
    const int32_t len = GetParLength(*L.Par(q));
    if (OffsetToColumn(q, len) <= c)
      continue;
    const char16_t* t = L.Par(q)->ParText;
    int32_t i = ColumnToOffset(q, c);
    while (i < len && !isBlank(QChar(t[i])))
      ++i;
    while (i < len && isBlank(QChar(t[i])))
      ++i;
    return QString(std::max(0, OffsetToColumn(q, i) - c), QLatin1Char(' '));
  }
  return {};
}

// ---- Backspace and Delete ------------------------------------------------------------------------------

void TZarvMemo::DoBackspace(bool Ctrl) try {
  const TEntryScope entry(ownerId());
  if (fReadOnly || fDisplayOnly || fLockedCount > 0)
    return;
  TKeepBlockScope kept(*this, fOptions.testFlag(zvoNoOverwriteBlocks));
  if (fSelLen == 0) {
    if (!fExtraCols.isEmpty()) {
      fExtraCols.chop(1); // only a virtual column goes
      UpdateCaret(false);
      kept.Close();
      return;
    }
    const int32_t caret = getSelStart();
    const int32_t off = fcp->GetOffset(), p = fcp->GetParNb();
    const ParInfo& par = *fcp->GetPar();
    int32_t from = caret;
    if (Ctrl) {
      TZarvNavigator n(&Paragraphs());
      n.AttachMemo(this);
      n.SetPos(caret);
      n.ToPreviousWord(fDelimiters);
      from = n.GetPos();
    } else if (off == 0) {
      from = std::max(0, caret - 2); // the break before the paragraph
    } else {
      const QString text = getParString(p);
      const int32_t lead = leadingBlanks(text);
      if (fOptions.testFlag(zvoBackIndent) && lead == off) {
        // Back to the indent of the nearest line above indented less.
        int32_t target = 0;
        for (int32_t q = p - 1; q >= 0; --q) {
          const int32_t l = leadingBlanks(getParString(q));
          if (l < off) {
            target = l;
            break;
          }
        }
        from = caret - (off - target);
      } else {
        int32_t o = off - 1;
        if (o > 0 && QChar::isLowSurrogate(par.ParText[o]) && QChar::isHighSurrogate(par.ParText[o - 1]))
          --o;
        if (fParagraphs->fStaticFormat)
          while (o > 0 && IsStyleCode(par.ParText[o - 1]))
            --o;
        from = caret - (off - o);
        if (fParagraphs->fStaticFormat && o == 0 && p > 0 && IsStyleCode(par.ParText[0]))
          from -= 2; // codes at the start go with the break before them
      }
    }
    setSelStart(caret);
    setSelLength(from - caret);
  }
  const int32_t line = fSelStart->GetLineNb(), col = OffsetToColumn(fSelStart->GetParNb(), fSelStart->GetOffset());
  ClearSelection();
  keepColumn(line, col);
  kept.Close();
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

// With zvoKeepColumnPos, columns an edit took from the caret's line (blanks
// discarded at its end) come back as virtual columns.
void TZarvMemo::keepColumn(int32_t line, int32_t col) {
  if (!fOptions.testFlag(zvoKeepColumnPos) || fWordWrap || fcp->GetLineNb() != line)
    return;
  const int32_t now = OffsetToColumn(fcp->GetParNb(), fcp->GetOffset());
  if (now < col) {
    fExtraCols = QString(col - now, QLatin1Char(' '));
    UpdateCaret(false);
  }
}

void TZarvMemo::DoDelete(bool Shift, bool Ctrl) try {
  const TEntryScope entry(ownerId());
  if (fReadOnly || fDisplayOnly || fLockedCount > 0)
    return;
  if (Shift && fSelLen != 0) {
    CutToClipboard();
    return;
  }
  TKeepBlockScope kept(*this, fOptions.testFlag(zvoNoOverwriteBlocks) && !Shift);
  TParagraphsList& L = *fParagraphs;
  const int32_t caret = getSelStart();
  const int32_t off = fcp->GetOffset(), p = fcp->GetParNb();
  const ParInfo& par = *fcp->GetPar();
  const int32_t len = GetParLength(par);
  if (Shift) {
    // The character before the caret (the break at a paragraph start).
    int32_t back = off == 0 ? 2 : 1;
    if (off > 1 && QChar::isLowSurrogate(par.ParText[off - 1]) && QChar::isHighSurrogate(par.ParText[off - 2]))
      back = 2;
    setSelStart(caret);
    setSelLength(-std::min(back, caret));
  } else if (Ctrl && fSelStart->GetLineNb() == fSelStop->GetLineNb()) {
    // From the selection's start to the end of its display line.
    const int32_t start = fSelStart->GetPos();
    const int32_t line = fSelStart->GetLineNb();
    TZarvNavigator n(&L);
    n.AttachMemo(this);
    n.SetLineNb(line);
    const int32_t lineEnd = n.GetPos() + int32_t(getLineString(line).size());
    setSelStart(start);
    setSelLength(std::max(0, lineEnd - start));
  } else if (fSelLen == 0) {
    int32_t to = caret;
    if (off >= len) {
      to = p + 1 < L.Count() ? caret + 2 : caret;
    } else {
      int32_t o = off + 1;
      if (o < len && QChar::isHighSurrogate(par.ParText[off]) && QChar::isLowSurrogate(par.ParText[o]))
        ++o;
      if (L.fStaticFormat) {
        while (o < len && IsStyleCode(par.ParText[o]))
          ++o;
        if (o >= len && p + 1 < L.Count())
          o = len + 2;
      }
      to = caret + (o - off);
    }
    setSelStart(caret);
    setSelLength(to - caret);
  }
  const int32_t line = fSelStart->GetLineNb(), col = OffsetToColumn(fSelStart->GetParNb(), fSelStart->GetOffset());
  ClearSelection();
  keepColumn(line, col);
  kept.Close();
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

// ---- Formatting codes around the selection ------------------------------------------------------------

void TZarvMemo::SetSelAttrib(char16_t Code) try {
  const TEntryScope entry(ownerId());
  if (!fParagraphs->fStaticFormat || fReadOnly)
    return;
  const QString s = getSelText();
  const bool had = fSelLen != 0, caretAtStart = fSelLen > 0;
  const int32_t start = fSelStart->GetPos();
  {
    const bool strip = fStripStrayCtrlCodes;
    fStripStrayCtrlCodes = strip && had; // an empty pair stays
    const bool check = fNoCheckFormat;
    fNoCheckFormat = true;
    SetSelTextBuf(QChar(Code) + s + QChar(Code));
    fNoCheckFormat = check;
    fStripStrayCtrlCodes = strip;
  }
  const int32_t len = int32_t(s.size()) + 2;
  if (!had) {
    setSelStart(start + 1); // between the two codes
  } else if (caretAtStart) {
    setSelStart(start);
    setSelLength(len);
  } else {
    setSelStart(start + len);
    setSelLength(-len);
  }
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::SetBold() { SetSelAttrib(2); }
void TZarvMemo::SetItalic() { SetSelAttrib(1); }
void TZarvMemo::SetUnderline() { SetSelAttrib(21); }
void TZarvMemo::SetHighlight() { SetSelAttrib(3); }
void TZarvMemo::SetAltFont() { SetSelAttrib(4); }

// ---- Column blocks -----------------------------------------------------------------------------------------

// Each line of S goes into the next paragraph at the caret's column,
// paragraphs appended and short ones padded with spaces as needed; one undo
// step.
void TZarvMemo::InsertBlock(const QString& S) try {
  const TEntryScope entry(ownerId());
  if (fReadOnly || fDisplayOnly)
    return;
  TKeepBlockScope kept(*this, fOptions.testFlag(zvoNoOverwriteBlocks));
  const QStringList lines = S.split(QRegularExpression(QStringLiteral("\r\n|\n\r|\r|\n")));
  TParagraphsList& L = *fParagraphs;
  const int32_t p0 = fcp->GetParNb();
  const int32_t col = OffsetToColumn(p0, fcp->GetOffset()) + int32_t(fExtraCols.size());
  {
    TUpdateLock lock(*this);
    for (int32_t i = 0; i < lines.size(); ++i) {
      const int32_t p = p0 + i;
      while (p >= L.Count()) {
        setSelStart(getCharCount());
        SetSelTextBuf(QStringLiteral("\r\n"));
      }
      const int32_t off = ColumnToOffset(p, col);
      const int32_t pad = std::max(0, col - OffsetToColumn(p, off));
      setSelStart(L.Par(p)->StartOffset + off);
      SetSelTextBuf(QString(pad, QLatin1Char(' ')) + lines[i]);
    }
  }
  kept.Close();
  if (fLockedCount == 0)
    ScrollInView();
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

} // namespace zarv
