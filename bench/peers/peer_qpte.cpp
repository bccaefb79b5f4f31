// peer-qpte: QPlainTextEdit + a hand-written C++ QSyntaxHighlighter (no line-number area).
#include "bench.h"

#include <QFontInfo>
#include <QPlainTextEdit>
#include <QSet>
#include <QSyntaxHighlighter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

namespace {

// The C++20 keywords and alternative tokens (cppreference list without the TM-TS/reflection ones).
const QStringList& cppKeywords() {
  static const QStringList words =
      QStringLiteral("alignas alignof and and_eq asm auto bitand bitor bool break case catch char char8_t "
                     "char16_t char32_t class compl concept const consteval constexpr constinit const_cast "
                     "continue co_await co_return co_yield decltype default delete do double dynamic_cast else "
                     "enum explicit export extern false float for friend goto if inline int long mutable "
                     "namespace new noexcept not not_eq nullptr operator or or_eq private protected public "
                     "register reinterpret_cast requires return short signed sizeof static static_assert "
                     "static_cast struct switch template this thread_local throw true try typedef typeid "
                     "typename union unsigned using virtual void volatile wchar_t while xor xor_eq")
          .split(' ');
  return words;
}

// Block state bits carried from line to line.
enum : int { InComment = 1, InPreprocessor = 2 };

class CppHighlighter : public QSyntaxHighlighter {
public:
  explicit CppHighlighter(QTextDocument* doc) : QSyntaxHighlighter(doc) {
    for (const QString& k : cppKeywords())
      keywords.insert(QStringView(k)); // views into the static list
    keyword.setForeground(QColor(0x00, 0x00, 0x90));
    comment.setForeground(QColor(0x00, 0x70, 0x00));
    string.setForeground(QColor(0xa0, 0x10, 0x10));
    number.setForeground(QColor(0x00, 0x70, 0x70));
    preprocessor.setForeground(QColor(0x80, 0x60, 0x00));
  }

protected:
  void highlightBlock(const QString& text) override {
    const int prev = qMax(0, previousBlockState());
    const int n = int(text.size());
    int i = 0, state = 0;

    // Preprocessor line: first non-blank is '#', or the previous line ended in '\'.
    int first = 0;
    while (first < n && text[first].isSpace())
      ++first;
    const bool pp = (prev & InPreprocessor) || (!(prev & InComment) && first < n && text[first] == '#');
    if (pp) {
      setFormat(0, n, preprocessor);
      if (n > 0 && text[n - 1] == '\\')
        state |= InPreprocessor;
    }
    if (prev & InComment) { // still inside /* ... */
      const int end = int(text.indexOf(QLatin1String("*/")));
      if (end < 0) {
        setFormat(0, n, comment);
        setCurrentBlockState(state | InComment);
        return;
      }
      setFormat(0, end + 2, comment);
      i = end + 2;
    }
    while (i < n) {
      const QChar c = text[i];
      const QChar next = i + 1 < n ? text[i + 1] : QChar();
      if (c == '/' && next == '/') {
        setFormat(i, n - i, comment);
        break;
      }
      if (c == '/' && next == '*') {
        const int end = int(text.indexOf(QLatin1String("*/"), i + 2));
        if (end < 0) {
          setFormat(i, n - i, comment);
          state |= InComment;
          break;
        }
        setFormat(i, end + 2 - i, comment);
        i = end + 2;
      } else if (c == '"' || c == '\'') {
        int j = i + 1;
        while (j < n && text[j] != c)
          j += text[j] == '\\' ? 2 : 1;
        j = qMin(j + 1, n);
        setFormat(i, j - i, string);
        i = j;
      } else if (c.isDigit()) {
        int j = i + 1;
        while (j < n && (text[j].isLetterOrNumber() || text[j] == '.' || text[j] == '\''))
          ++j;
        if (!pp)
          setFormat(i, j - i, number);
        i = j;
      } else if (c.isLetter() || c == '_') {
        int j = i + 1;
        while (j < n && (text[j].isLetterOrNumber() || text[j] == '_'))
          ++j;
        if (!pp && keywords.contains(QStringView(text).mid(i, j - i)))
          setFormat(i, j - i, keyword);
        i = j;
      } else {
        ++i;
      }
    }
    setCurrentBlockState(state);
  }

private:
  QSet<QStringView> keywords;
  QTextCharFormat keyword, comment, string, number, preprocessor;
};

class QptePeer : public Peer {
public:
  QptePeer() : highlighter(ed.document()) {
    ed.setFont(QFont("DejaVu Sans Mono", 10));
    ed.setLineWrapMode(QPlainTextEdit::NoWrap); // like the other peers
  }
  QAbstractScrollArea* widget() override { return &ed; }
  void setText(const QString& text) override { ed.setPlainText(text); }
  void highlightAll() override { highlighter.rehighlight(); }
  qint64 lines() override { return ed.document()->blockCount(); }
  qint64 length() override { return ed.document()->characterCount(); }
  void setCaret(qint64 line) override {
    if (line < 0)
      ed.moveCursor(QTextCursor::End);
    else
      ed.setTextCursor(QTextCursor(ed.document()->findBlockByNumber(int(line))));
  }
  void insertAtStart(const QString& s) override { QTextCursor(ed.document()).insertText(s); }
  qint64 firstVisibleLine() override { return ed.cursorForPosition(QPoint(0, 0)).blockNumber(); }
  qint64 findAll(const QString& word) override {
    qint64 n = 0;
    const auto flags = QTextDocument::FindWholeWords | QTextDocument::FindCaseSensitively;
    for (QTextCursor c = ed.document()->find(word, 0, flags); !c.isNull(); c = ed.document()->find(word, c, flags))
      ++n;
    return n;
  }
  QJsonObject describe() override {
    return {{"widget", "QPlainTextEdit"},
            {"highlighter", "CppHighlighter (bench)"},
            {"font", QFontInfo(ed.font()).family()}};
  }
  QJsonObject check() override { // did the highlighter really run over the whole document?
    qint64 formatted = 0, inComment = 0;
    for (QTextBlock b = ed.document()->begin(); b.isValid(); b = b.next()) {
      formatted += !b.layout()->formats().isEmpty();
      inComment += (b.userState() > 0 && (b.userState() & InComment));
    }
    return {{"formatted_blocks", formatted}, {"comment_open_blocks", inComment}};
  }

private:
  QPlainTextEdit ed;
  CppHighlighter highlighter;
};

} // namespace

int main(int argc, char** argv) {
  return runBench(argc, argv, "qpte", [] { return std::make_unique<QptePeer>(); });
}
