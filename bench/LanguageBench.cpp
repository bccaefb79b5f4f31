// zarv_bench_languages: speed of the Object Pascal, SQL and HTML
// highlighters, against the C++ highlighter.
//
//   zarv_bench_languages [--quick] [--only pascal|sql|html|line]
//
// Prints one `name: value unit` line per figure:
// - throughput highlighting 100 MB of each language from scratch
//   (HighlightAll, best of two runs, processor time), the C++
//   highlighter's on the C++ corpus of the same size, and each language's
//   ratio to it (the target is a ratio of at least 1); with each, the
//   codes (style runs) written per second, since the texts differ in how
//   many runs a megabyte holds;
// - hostile input, which must cost time linear in its length and never
//   freeze: the same texts with an unterminated comment, string or tag at
//   their end, a 10 MB minified HTML page on one line, highlighted and with one
//   character typed into its middle (the typing figure is the
//   re-highlighting alone).
// --quick uses 10 MB texts and a 1 MB line.
//
// MB means 2^20 bytes; throughput counts the 8-bit text bytes.
#include "bench/BenchReport.h"
#include "bench/CorpusGen.h"
#include <ZarvMemo/highlighters/CPPHighlighter.h>
#include <ZarvMemo/highlighters/HtmlHighlighter.h>
#include <ZarvMemo/highlighters/OOPHighlighter.h>
#include <ZarvMemo/highlighters/SQLHighlighter.h>
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/support/highlight/HighlightPass.h>
#include <ZarvMemo/support/navigator/Navigator.h>
#include <ZarvMemo/support/store/ParagraphsList.h>

#include <QApplication>
#include <QBuffer>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

namespace {

using namespace zarv;
using namespace zarv::bench;

// ---- Texts ------------------------------------------------------------------------

// Blocks of realistic source with numbered names, repeated to the size.
const char* const kPascalBlock =
    "unit Unit@;\r\n\r\ninterface\r\n\r\nuses SysUtils, Classes;\r\n\r\ntype\r\n"
    "  TThing@ = class(TObject)\r\n  private\r\n    FValue: Integer; // the value of thing @\r\n"
    "    FName: string;\r\n  public\r\n    property Value: Integer read FValue write FValue;\r\n"
    "    procedure Run(const S: string);\r\n  end;\r\n\r\nimplementation\r\n\r\n{ TThing@ }\r\n\r\n"
    "procedure TThing@.Run(const S: string);\r\nvar\r\n  I: Integer;\r\nbegin\r\n"
    "  {$IFDEF DEBUG} Log('run @'); {$ENDIF}\r\n  for I := 1 to 10 do\r\n"
    "    Writeln('Item ''', I, ''' of ', S, #13#10);\r\n  (* an older way:\r\n     FValue := $FF; *)\r\n"
    "  if FValue > 100 then FValue := FValue div 2 else Inc(FValue);\r\n  asm\r\n    mov eax, $FF\r\n"
    "    push ebx\r\n    xor ebx, ebx // clear\r\n    pop ebx\r\n  end;\r\nend;\r\n\r\nend.\r\n";

const char* const kSqlBlock =
    "-- table @ and its data\r\ncreate table items@ (\r\n  id integer not null primary key,\r\n"
    "  name varchar(80) default 'none',\r\n  price decimal(10, 2),\r\n  created timestamp\r\n);\r\n\r\n"
    "/* the rows of table @,\r\n   loaded once */\r\ninsert into items@ (id, name, price) values (1, 'it''s', 9.5);\r\n"
    "insert into items@ (id, name, price) values (2, \"second\", 12);\r\n\r\n"
    "select i.id, i.name, count(*) as n\r\n  from items@ i\r\n  inner join orders o on o.item = i.id\r\n"
    " where i.price between 10 and 20 - 1\r\n group by i.id, i.name\r\nhaving count(*) > 2\r\n order by n "
    "desc;\r\n\r\n";

const char* const kHtmlBlock =
    "<!DOCTYPE html>\r\n<html>\r\n<head>\r\n<title>Page @</title>\r\n"
    "<meta name=\"description\" content=\"page @ &amp; more\">\r\n"
    "<style>\r\nbody { margin: 0; } div > p { color: #333; }\r\n</style>\r\n"
    "<script type=\"text/javascript\">\r\nfunction f@(a, b) { if (a < b) return \"</div>\"; return a; "
    "}\r\n</script>\r\n"
    "</head>\r\n<body class=main>\r\n<!-- navigation of page @ -->\r\n"
    "<div id=\"nav@\" class='top bar'><a href=\"/index.html?x=1&amp;y=2\" title=\"Home\">Home</a> &gt; "
    "<a href=page@.html>Page @</a></div>\r\n<p>Text of page @ with <b>bold</b> and <i>italic</i> words, "
    "&copy; 2026 &#169; and 3 &lt; 4.</p>\r\n<table border=1><tr><td>1</td><td>2</td></tr></table>\r\n"
    "<img src=\"img@.png\" alt=\"picture @\"><br>\r\n<ul><li>one</li><li>two</li></ul>\r\n</body>\r\n</html>\r\n";

std::string Repeat(const char* block, int64_t bytes) {
  std::string out;
  out.reserve(size_t(bytes) + 4096);
  for (int64_t n = 0; int64_t(out.size()) < bytes; ++n) {
    const std::string number = std::to_string(n);
    for (const char* c = block; *c; ++c)
      if (*c == '@')
        out += number;
      else
        out += *c;
  }
  out.resize(size_t(bytes));
  return out;
}

// The HTML block minified: no line breaks, one line.
std::string Minified(int64_t bytes) {
  std::string s = Repeat(kHtmlBlock, bytes + bytes / 8);
  std::string out;
  out.reserve(size_t(bytes));
  for (char c : s)
    if (c != '\r' && c != '\n')
      out += c;
  out.resize(size_t(bytes));
  return out;
}

// ---- Measuring ------------------------------------------------------------------------

void Load(TZarvMemo& memo, const std::string& text) {
  QBuffer device;
  device.setData(QByteArray::fromRawData(text.data(), static_cast<qsizetype>(text.size())));
  device.open(QIODevice::ReadOnly);
  TzvsLineBreak lb = zsbCRLF;
  memo.Paragraphs().CleanUp();
  memo.Paragraphs().LoadFromStream(device, true, u' ', false, lb);
  memo.DropUpText();
}

using TMake = std::function<TZarvHighlighter*(QObject*)>;

// MB/s highlighting `text` from scratch, best of `runs`.
double Scratch(const std::string& name, const TMake& make, const std::string& text, int runs) {
  TZarvMemo memo;
  memo.setHighlighter(make(&memo));
  double best = 0;
  int64_t codes = 0;
  for (int run = 0; run < runs; ++run) {
    Load(memo, text);
    const double cpu0 = CpuSeconds();
    HighlightAll(memo);
    const double secs = CpuSeconds() - cpu0;
    if (run == 0 || secs < best)
      best = secs;
  }
  for (int32_t p = 0; p < memo.Paragraphs().Count(); ++p)
    codes += GetDynCount(*memo.Paragraphs().Par(p));
  const double mbps = double(text.size()) / double(MB) / best;
  Report(name, mbps, "MB/s", 1);
  // Texts differ in how many runs a megabyte holds; the pass costs by run.
  Report(name + "_runs", double(codes) / best / 1e6, "Mcodes/s", 2);
  Note(name + ": " + std::to_string(memo.Paragraphs().Count()) + " paragraphs, " + std::to_string(codes) + " codes");
  if (codes == 0)
    Fail(name + " got no codes");
  const QString problem = memo.Paragraphs().CheckIntegrity();
  if (!problem.isEmpty())
    Fail(name + ": store inconsistent: " + problem.toStdString());
  memo.setHighlighter(nullptr);
  return mbps;
}

// Milliseconds to re-highlight after one character typed at `at`.
double TypeInto(const TMake& make, const std::string& text, int32_t at) {
  TZarvMemo memo;
  memo.setHighlighter(make(&memo));
  Load(memo, text);
  HighlightAll(memo);
  TZarvNavigator a(&memo.Paragraphs()), b(&memo.Paragraphs());
  a.SetPos(at);
  b.SetPos(at);
  int32_t od = 0, ld = 0;
  bool dc = false;
  memo.Paragraphs().InsertBuf(u"x", a, b, false, true, od, ld, dc);
  memo.DropUpText();
  const auto t0 = Clock::now();
  HighlightParagraphs(memo, a.GetParNb(), b.GetParNb());
  const double ms = Ms(Clock::now() - t0);
  memo.setHighlighter(nullptr);
  return ms;
}

template <class T>
TMake Maker() {
  return [](QObject* parent) -> TZarvHighlighter* { return new T(parent); };
}

int Run(int64_t bytes, int64_t lineBytes, const std::string& only) {
  const std::string tag = std::to_string(bytes / MB) + "MB";
  TCorpusOptions cpp;
  cpp.Bytes = bytes;
  const double cppRate = Scratch("languages_cpp_scratch_" + tag, Maker<TCPPHighlighter>(), GenerateCorpus(cpp), 2);
  struct TLanguage {
    const char* Name;
    TMake Make;
    const char* Block;
    std::vector<std::pair<const char*, const char*>> Unterminated; // name, opener
  };
  const TLanguage languages[] = {
      {"pascal", Maker<TOOPHighlighter>(), kPascalBlock, {{"brace_comment", "{ "}, {"string", "'"}, {"asm", "asm "}}},
      {"sql", Maker<TSQLHighlighter>(), kSqlBlock, {{"block_comment", "/* "}, {"string", "'"}}},
      {"html",
       Maker<THtmlHighlighter>(),
       kHtmlBlock,
       {{"comment", "<!-- "}, {"tag", "<a href=\"x "}, {"script", "<script>"}}},
  };
  for (const TLanguage& l : languages) {
    const std::string name = l.Name;
    if (!only.empty() && only != name)
      continue;
    const std::string text = Repeat(l.Block, bytes);
    const double rate = Scratch("languages_" + name + "_scratch_" + tag, l.Make, text, 2);
    Report("languages_" + name + "_vs_cpp", rate / cppRate, "ratio", 2);
    if (rate < cppRate)
      Note(name + " is slower than the C++ highlighter");
    for (const auto& [what, opener] : l.Unterminated)
      Scratch("languages_" + name + "_unterminated_" + what + "_at_end_" + tag, l.Make, text + opener, 1);
  }
  if (!only.empty() && only != "line")
    return gFailed ? 1 : 0;
  const std::string line = Minified(lineBytes);
  const std::string lineTag = std::to_string(lineBytes / MB) + "MB";
  Scratch("languages_html_one_line_" + lineTag, Maker<THtmlHighlighter>(), line, 1);
  Report("languages_html_one_line_type_" + lineTag, TypeInto(Maker<THtmlHighlighter>(), line, int32_t(line.size() / 2)),
         "ms", 1);
  Scratch("languages_html_one_line_unterminated_tag_" + lineTag, Maker<THtmlHighlighter>(), "<a title=\"" + line, 1);
  return gFailed ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
  int64_t bytes = 100 * MB, lineBytes = 10 * MB;
  std::string only;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--quick") {
      bytes = 10 * MB;
      lineBytes = MB;
    } else if (arg == "--only" && i + 1 < argc) {
      only = argv[++i]; // pascal, sql, html or line: that part alone (with the C++ figure)
    } else {
      std::fprintf(stderr, "usage: zarv_bench_languages [--quick]\n");
      return arg == "--help" || arg == "-h" ? 0 : 2;
    }
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  try {
    return Run(bytes, lineBytes, only);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zarv_bench_languages: %s\n", e.what());
    return 1;
  }
}
