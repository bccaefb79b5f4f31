// Loads the text given on the command line (or a short sample) into a
// control, highlights its comments and prints what the store holds.
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/support/highlight/HighlightPass.h>

#include <QApplication>
#include <cstdio>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  zarv::TZarvMemo memo;
  memo.StartStopKeys().AddStartStopKey(QStringLiteral("/*"), QStringLiteral("*/"), zarv::woMatchCase, zarv::fsItalic, 1,
                                       0, zarv::clNone, zarv::clNone, false);
  memo.SetTextBuf(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("int x; /* a\r\ncomment */ int y;"));
  zarv::HighlightAll(memo);
  const zarv::TParagraphsList& text = memo.Paragraphs();
  std::printf("paragraphs: %d\ncharacters: %d\nruns in the first paragraph: %d\n", text.Count(), text.fTextLen,
              zarv::GetDynCount(*text.Par(0)));
  return text.CheckIntegrity().isEmpty() ? 0 : 1;
}
