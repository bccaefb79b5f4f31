// peer-qsci: QsciScintilla + QsciLexerCPP, folding on, UTF-8, line-number margin.
#include "bench.h"

#include <Qsci/qsciglobal.h>
#include <Qsci/qscilexercpp.h>
#include <Qsci/qsciscintilla.h>

#include <QFontInfo>

namespace {

class QsciPeer : public Peer {
public:
  QsciPeer() {
    const QFont font("DejaVu Sans Mono", 10);
    auto* lexer = new QsciLexerCPP(&ed);
    lexer->setDefaultFont(font);
    lexer->setFont(font); // every style: same metrics as the other peers (colours differ)
    ed.setUtf8(true);
    ed.setLexer(lexer);
    ed.setFolding(QsciScintilla::BoxedTreeFoldStyle);
    ed.SendScintilla(QsciScintillaBase::SCI_SETPROPERTY, "fold", "1");
    ed.setMarginType(0, QsciScintilla::NumberMargin);
    ed.setMarginLineNumbers(0, true);
    ed.setMarginsFont(font);
    ed.setMarginWidth(0, QStringLiteral("00000000"));
    ed.setWrapMode(QsciScintilla::WrapNone);
    ed.SendScintilla(QsciScintillaBase::SCI_SETCARETPERIOD, 0UL);
  }
  QAbstractScrollArea* widget() override { return &ed; }
  void setText(const QString& text) override { ed.setText(text); }
  void highlightAll() override { ed.SendScintilla(QsciScintillaBase::SCI_COLOURISE, 0UL, -1L); }
  qint64 lines() override { return ed.lines(); }
  qint64 length() override { return ed.length(); }
  void setCaret(qint64 line) override {
    if (line < 0)
      ed.SendScintilla(QsciScintillaBase::SCI_DOCUMENTEND);
    else
      ed.setCursorPosition(int(line), 0);
  }
  void insertAtStart(const QString& s) override { ed.insertAt(s, 0, 0); }
  qint64 firstVisibleLine() override { return ed.firstVisibleLine(); }
  qint64 findAll(const QString& word) override {
    qint64 n = 0;
    // regexp=false, case-sensitive, whole word, no wrap, forward, from line 0 col 0, show=false
    if (ed.findFirst(word, false, true, true, false, true, 0, 0, false))
      for (n = 1; ed.findNext();)
        ++n;
    return n;
  }
  QJsonObject describe() override {
    return {{"widget", "QsciScintilla"},
            {"version", QSCINTILLA_VERSION_STR},
            {"lexer", "QsciLexerCPP"},
            {"font", QFontInfo(ed.lexer()->defaultFont()).family()}};
  }
  QJsonObject check() override { // did styling + folding really run over the whole document?
    qint64 headers = 0;
    for (int line = 0, n = ed.lines(); line < n; ++line)
      headers += (ed.SendScintilla(QsciScintillaBase::SCI_GETFOLDLEVEL, (unsigned long)line) &
                  QsciScintillaBase::SC_FOLDLEVELHEADERFLAG) != 0;
    return {{"fold_headers", headers},
            {"end_styled", qint64(ed.SendScintilla(QsciScintillaBase::SCI_GETENDSTYLED))},
            {"doc_length", ed.length()}};
  }

private:
  QsciScintilla ed;
};

} // namespace

int main(int argc, char** argv) {
  return runBench(argc, argv, "qsci", [] { return std::make_unique<QsciPeer>(); });
}
