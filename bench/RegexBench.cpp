// zarv_bench_regex: search speed of TRegExpr.
//
//   zarv_bench_regex [--quick] [--file PATH]
//
// Counts every non-overlapping match of a few patterns over one large
// subject (Exec, then ExecNext until it fails) and prints `regex_<id>: value
// MB/s` lines, MB being 2^20 bytes of the text as UTF-8, with the time and
// the match count as notes. The subject is generated (prose and C++-like
// source, 8 MB; --quick: 1 MB) with a line of e-mail addresses, URIs, IPv4
// addresses, dates and a doubled word after every 997th line, so that every
// pattern has matches; --file reads a UTF-8 file instead, so that the
// figures can stand next to other engines' on the same text. The last
// pattern backtracks exponentially and reports the time to give up.
//
// Then the pathological cases, each a line of its own: a loop whose body
// can match empty over a long subject, a search that cannot match (no "c")
// over 2 MB, "x*y|q" over 100 000 "x" (linear now) and a search that stays
// quadratic (".*y|q"), stopped by a limit of 2 million steps, and the
// compile time, program size and memory of 300 sets of the whole range.
#include "BenchReport.h"
#include "CorpusGen.h"

#include <ZarvMemo/regex/RegExpr.h>

#include <QFile>
#include <QString>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using namespace zarv;
using namespace zarv::bench;

namespace {

struct TPattern {
  const char* id;
  const char* regex;
  const char* modifiers;
};

// The usual yardstick patterns; "(?:...)" written as plain groups, which is
// all this engine has.
const TPattern kPatterns[] = {
    {"literal", "Sherlock|License", ""},
    {"literal-plain", "License", ""},
    {"ci-literal", "license", "i"},
    {"email", "[\\w.+-]+@[\\w-]+\\.[\\w.-]+", ""},
    {"uri", "[\\w]+://[^/\\s?#]+[^\\s?#]+(\\?[^\\s#]*)?(#[^\\s]*)?", ""},
    {"ipv4", "((25[0-5]|2[0-4]\\d|[01]?\\d\\d?)\\.){3}(25[0-5]|2[0-4]\\d|[01]?\\d\\d?)", ""},
    {"words-ing", "\\w+ing\\b", ""},
    {"date", "\\d{4}-\\d{2}-\\d{2}", ""},
    {"backref", "\\b(\\w+)\\s+\\1\\b", ""},
    {"lazy", "/\\*.*?\\*/", "s"},
};

std::string GeneratedText(int64_t bytes) {
  std::string prose = GenerateCorpus({TCorpusKind::Prose, bytes / 2, TCorpusBreak::LF, DefaultCorpusSeed});
  std::string cpp = GenerateCorpus({TCorpusKind::Cpp, bytes / 2, TCorpusBreak::LF, DefaultCorpusSeed});
  const std::string source = prose + "\n" + cpp;
  std::string out;
  out.reserve(source.size() + source.size() / 50);
  int line = 0;
  for (size_t at = 0; at < source.size();) {
    size_t end = source.find('\n', at);
    end = end == std::string::npos ? source.size() : end + 1;
    out.append(source, at, end - at);
    at = end;
    if (++line % 997 == 0)
      out += "mail jane.doe+list@example.org or ops@mail-gw.example.co.uk, see https://example.org/a/b?x=1#top "
             "and ftp://files.example.net/pub; hosts 192.168.0.17 10.0.300.1 255.255.255.0 on 2023-04-17, "
             "the the report by Sherlock\n";
  }
  return out;
}

int64_t Utf8Bytes(const QString& s) { return s.toUtf8().size(); }

// Milliseconds of one search of `pattern` over `subject`; `expectError` is
// the error code the search must end with (0: none).
double TimeSearch(const char* id, const QString& pattern, const QString& subject, int64_t stepLimit,
                  int32_t expectError) {
  TRegExpr r;
  r.SetExpression(pattern);
  r.SetStepLimit(stepLimit);
  r.Compile();
  const auto t0 = Clock::now();
  int32_t error = 0;
  try {
    r.Exec(subject);
  } catch (const ERegExpr& e) {
    error = e.ErrorCode;
  }
  const double ms = Ms(Clock::now() - t0);
  if (error != expectError)
    Fail(std::string(id) + ": ended with error " + std::to_string(error));
  return ms;
}

void PathologicalCases() {
  QString words;
  for (int i = 0; i < 20'000; ++i)
    words += QStringLiteral("word%1 \t").arg(i % 97);
  Report("regex_empty_iteration_loop",
         TimeSearch("empty iteration", QStringLiteral("(\\s{0,2}\\w{0,9})*$"), words, TRegExpr::DefaultStepLimit, 0),
         "ms", 2);
  Report("regex_fail_no_required_2mb",
         TimeSearch("no required unit", QStringLiteral("a.*c"), QStringLiteral("ab").repeated(1 << 20),
                    TRegExpr::DefaultStepLimit, 0),
         "ms", 3);
  const QString xs(100'000, QLatin1Char('x'));
  Report("regex_xstar_y_100k", TimeSearch("x*y|q", QStringLiteral("x*y|q"), xs, 2'000'000, 0), "ms", 2);
  Report("regex_step_limit_2m", TimeSearch("step limit", QStringLiteral(".*y|q"), xs, 2'000'000, reeStepLimitExceeded),
         "ms", 2);

  const QString sets = QStringLiteral("[\\x01-\\x{FFFF}]").repeated(300);
  const int64_t before = ResidentBytes();
  TRegExpr r;
  r.SetExpression(sets);
  const auto t0 = Clock::now();
  r.Compile();
  Report("regex_compile_300_full_sets", Ms(Clock::now() - t0), "ms", 3);
  Report("regex_program_300_full_sets", double(r.ProgramSize()) * 2 / 1024, "KB", 1);
  if (before >= 0)
    Report("regex_memory_300_full_sets", double(ResidentBytes() - before) / double(MB), "MB", 2);
}

} // namespace

int main(int argc, char** argv) {
  bool quick = false;
  QString file;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--quick") == 0)
      quick = true;
    else if (std::strcmp(argv[i], "--file") == 0 && i + 1 < argc)
      file = QString::fromLocal8Bit(argv[++i]);
  }
  QString text;
  if (!file.isEmpty()) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
      Fail("cannot read " + file.toStdString());
      return 1;
    }
    text = QString::fromUtf8(f.readAll());
  } else {
    text = QString::fromStdString(GeneratedText(quick ? MB : 8 * MB));
  }
  const double mb = double(Utf8Bytes(text)) / double(MB);
  Note("subject: " + std::to_string(text.size()) + " UTF-16 units, " + std::to_string(mb) + " MB as UTF-8");

  for (const TPattern& p : kPatterns) {
    TRegExpr r;
    r.SetExpression(QString::fromUtf8(p.regex));
    r.SetModifierStr(QString::fromUtf8(p.modifiers));
    std::vector<double> runs;
    int64_t count = 0;
    for (int run = 0; run < 4; ++run) { // a warm-up, then the median of three
      const auto t0 = Clock::now();
      count = 0;
      try {
        for (bool found = r.Exec(text); found; found = r.ExecNext())
          ++count;
      } catch (const ERegExpr& e) {
        Fail(std::string(p.id) + ": " + e.what());
        break;
      }
      if (run > 0)
        runs.push_back(Seconds(Clock::now() - t0));
    }
    if (runs.size() != 3)
      continue;
    std::sort(runs.begin(), runs.end());
    Report("regex_" + std::string(p.id), mb / runs[1], "MB/s");
    Note(std::string(p.id) + ": " + std::to_string(count) + " matches, " + std::to_string(runs[1] * 1000) + " ms");
  }

  // "(a+)+b" on 30 "a"s and an unreachable "b": the step limit ends it.
  TRegExpr cata;
  cata.SetExpression(QStringLiteral("(a+)+b"));
  const auto t0 = Clock::now();
  try {
    cata.Exec(QString(30, QLatin1Char('a')) + QStringLiteral("cb"));
    Fail("catastrophic: finished without the step limit");
  } catch (const ERegExpr& e) {
    if (e.ErrorCode != reeStepLimitExceeded)
      Fail(std::string("catastrophic: ") + e.what());
  }
  Report("regex_catastrophic_give_up", Seconds(Clock::now() - t0) * 1000, "ms");
  PathologicalCases();
  return gFailed ? 1 : 0;
}
