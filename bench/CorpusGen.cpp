// The corpus generators behind CorpusGen.h.
//
// Source and prose are produced as whole units (a function, a class, a
// comment block, a paragraph). Units are appended while they fit in the
// requested size, so that comments and blocks stay balanced; the space left
// is filled with short lines of the same flavour, the last one cut to the
// exact byte count. Very long lines are built directly to their length.
//
// Every choice is drawn from one TCorpusRandom in a fixed order, so changing
// any generator changes its output: keep the draws as they are unless the
// corpora are meant to change.
#include "bench/CorpusGen.h"

#include <algorithm>
#include <charconv>
#include <cstddef>

namespace zarv::bench {

// ---- Random draws ------------------------------------------------------------

uint64_t TCorpusRandom::Next() {
  uint64_t z = (fState += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

uint32_t TCorpusRandom::Below(uint32_t n) {
  // Multiply-shift of the high 32 bits: no division, and the bias for the
  // small n used here is far below anything a benchmark could notice.
  return static_cast<uint32_t>(((Next() >> 32) * n) >> 32);
}

int32_t TCorpusRandom::Range(int32_t lo, int32_t hi) {
  return lo + static_cast<int32_t>(Below(static_cast<uint32_t>(hi - lo + 1)));
}

uint32_t TCorpusRandom::Skewed(uint32_t n) {
  const uint32_t a = Below(n);
  const uint32_t b = Below(n);
  return std::min(a, b);
}

namespace {

// ---- Vocabulary ----------------------------------------------------------------

constexpr std::string_view kWords[] = {"the",      "of",         "and",
                                       "to",       "a",          "in",
                                       "that",     "it",         "was",
                                       "he",       "for",        "on",
                                       "is",       "with",       "as",
                                       "his",      "they",       "at",
                                       "be",       "this",       "from",
                                       "had",      "not",        "but",
                                       "by",       "what",       "all",
                                       "were",     "we",         "when",
                                       "your",     "can",        "said",
                                       "there",    "use",        "an",
                                       "each",     "which",      "she",
                                       "do",       "how",        "their",
                                       "if",       "will",       "up",
                                       "other",    "about",      "out",
                                       "many",     "then",       "them",
                                       "these",    "so",         "some",
                                       "her",      "would",      "make",
                                       "like",     "him",        "into",
                                       "time",     "has",        "look",
                                       "two",      "more",       "write",
                                       "go",       "see",        "number",
                                       "no",       "way",        "could",
                                       "people",   "my",         "than",
                                       "first",    "water",      "been",
                                       "call",     "who",        "oil",
                                       "its",      "now",        "find",
                                       "long",     "down",       "day",
                                       "did",      "get",        "come",
                                       "made",     "may",        "part",
                                       "over",     "new",        "sound",
                                       "take",     "only",       "little",
                                       "work",     "know",       "place",
                                       "year",     "live",       "me",
                                       "back",     "give",       "most",
                                       "very",     "after",      "thing",
                                       "our",      "just",       "name",
                                       "good",     "sentence",   "man",
                                       "think",    "say",        "great",
                                       "where",    "help",       "through",
                                       "much",     "before",     "line",
                                       "right",    "too",        "mean",
                                       "old",      "any",        "same",
                                       "tell",     "boy",        "follow",
                                       "came",     "want",       "show",
                                       "also",     "around",     "form",
                                       "three",    "small",      "set",
                                       "put",      "end",        "does",
                                       "another",  "well",       "large",
                                       "must",     "big",        "even",
                                       "such",     "because",    "turn",
                                       "here",     "why",        "ask",
                                       "went",     "men",        "read",
                                       "need",     "land",       "different",
                                       "home",     "us",         "move",
                                       "try",      "kind",       "hand",
                                       "picture",  "again",      "change",
                                       "off",      "play",       "spell",
                                       "air",      "away",       "animal",
                                       "house",    "point",      "page",
                                       "letter",   "mother",     "answer",
                                       "found",    "study",      "still",
                                       "learn",    "should",     "world",
                                       "high",     "every",      "near",
                                       "add",      "food",       "between",
                                       "own",      "below",      "country",
                                       "plant",    "last",       "school",
                                       "father",   "keep",       "tree",
                                       "never",    "start",      "city",
                                       "earth",    "eye",        "light",
                                       "thought",  "head",       "under",
                                       "story",    "saw",        "left",
                                       "few",      "while",      "along",
                                       "might",    "close",      "something",
                                       "seem",     "next",       "hard",
                                       "open",     "example",    "begin",
                                       "life",     "always",     "those",
                                       "both",     "paper",      "together",
                                       "got",      "group",      "often",
                                       "run",      "important",  "until",
                                       "children", "side",       "feet",
                                       "car",      "mile",       "night",
                                       "walk",     "white",      "sea",
                                       "began",    "grow",       "took",
                                       "river",    "four",       "carry",
                                       "state",    "once",       "book",
                                       "hear",     "stop",       "without",
                                       "second",   "later",      "miss",
                                       "idea",     "enough",     "eat",
                                       "face",     "watch",      "far",
                                       "really",   "almost",     "let",
                                       "above",    "girl",       "sometimes",
                                       "mountain", "cut",        "young",
                                       "talk",     "soon",       "list",
                                       "song",     "being",      "leave",
                                       "family",   "quietly",    "extraordinary",
                                       "harbour",  "lantern",    "whistle",
                                       "meadow",   "parliament", "correspondence",
                                       "bicycle",  "thunder"};

constexpr std::string_view kNames[] = {"Alice",  "Bertram", "Clara",  "Dmitri", "Eleanor", "Farid", "Greta", "Hugo",
                                       "Ingrid", "Jonas",   "Katya",  "Lionel", "Marta",   "Nils",  "Odile", "Pavel",
                                       "London", "Vienna",  "Lisbon", "Oslo",   "Monday",  "April"};

constexpr std::string_view kVerbs[] = {"get",   "set",   "make",  "find",    "update", "read",   "write",
                                       "parse", "load",  "save",  "compute", "check",  "insert", "remove",
                                       "apply", "build", "draw",  "format",  "scan",   "count",  "measure",
                                       "split", "merge", "reset", "flush"};

constexpr std::string_view kNouns[] = {"Buffer", "Line",  "Text",  "Node",  "Item",   "Value",  "Index",  "Offset",
                                       "Range",  "Style", "Token", "Block", "Cursor", "Width",  "Count",  "Key",
                                       "Char",   "Para",  "Color", "Font",  "Rect",   "Size",   "State",  "Mode",
                                       "List",   "Map",   "Entry", "Word",  "Chunk",  "Record", "Layout", "Marker"};

constexpr std::string_view kVars[] = {"i",      "j",     "n",     "pos",    "len",   "count", "start", "stop",
                                      "result", "value", "index", "offset", "width", "p",     "q",     "buf",
                                      "text",   "line",  "item",  "key",    "first", "last",  "total", "delta",
                                      "flags",  "c",     "ch",    "step",   "limit"};

constexpr std::string_view kTypes[] = {
    "int",    "unsigned",    "long",     "bool",       "char",        "double",           "float",
    "size_t", "int32_t",     "uint8_t",  "int64_t",    "std::string", "std::vector<int>", "QString",
    "auto",   "const char*", "uint16_t", "std::size_t"};

constexpr std::string_view kHeaders[] = {"<vector>",     "<string>",  "<memory>",   "<algorithm>",
                                         "<cstdint>",    "<cstring>", "<map>",      "<utility>",
                                         "<functional>", "<QString>", "<QPainter>", "<cassert>"};

constexpr std::string_view kChars[] = {"'a'", "'\\n'", "'\\t'", "'\\\\'", "'\\''", "'\"'",
                                       "' '", "'0'",   "'{'",   "'/'",    "'*'",   "'\\r'"};

constexpr std::string_view kAssignOps[] = {"=", "+=", "-=", "|=", "&=", "<<=", "*="};
constexpr std::string_view kBinOps[] = {"+", "-", "*", "/", "%", "&", "|", "^", "<<", ">>"};
constexpr std::string_view kCmpOps[] = {"<", "<=", ">", ">=", "==", "!="};

template <size_t N>
std::string_view Pick(TCorpusRandom& r, const std::string_view (&list)[N]) {
  return list[r.Below(static_cast<uint32_t>(N))];
}

template <size_t N>
std::string_view PickSkewed(TCorpusRandom& r, const std::string_view (&list)[N]) {
  return list[r.Skewed(static_cast<uint32_t>(N))];
}

void AppendInt(std::string& s, int64_t v) {
  char digits[24];
  const auto res = std::to_chars(digits, digits + sizeof digits, v);
  s.append(digits, res.ptr);
}

void AppendHex(std::string& s, uint64_t v, int digits) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (int d = digits - 1; d >= 0; --d)
    s += kHex[(v >> (4 * d)) & 15];
}

// ---- Shared text pieces ----------------------------------------------------------

class TGenBase {
public:
  TGenBase(TCorpusRandom& r, std::string_view brk) : R(r), Brk(brk) {}

protected:
  // Prose words, lower case, separated by single spaces.
  void Words(std::string& s, int n) {
    for (int i = 0; i < n; ++i) {
      if (i > 0)
        s += ' ';
      s += PickSkewed(R, kWords);
    }
  }

  // One English-like sentence with a capital, commas, the odd name or
  // number, sometimes in quotes.
  void Sentence(std::string& s) {
    const bool quoted = R.Chance(4);
    if (quoted)
      s += '"';
    const int n = R.Range(3, 24);
    for (int i = 0; i < n; ++i) {
      if (i > 0)
        s += ' ';
      const uint32_t kind = R.Below(100);
      if (kind < 3) {
        s += Pick(R, kNames);
      } else if (kind < 5) {
        AppendInt(s, R.Range(2, 1999));
      } else {
        const size_t at = s.size();
        s += PickSkewed(R, kWords);
        if (i == 0)
          s[at] = static_cast<char>(s[at] - 'a' + 'A');
      }
      if (i + 1 < n && R.Chance(7))
        s += ',';
    }
    const uint32_t end = R.Below(100);
    s += end < 85 ? '.' : end < 93 ? '?' : '!';
    if (quoted)
      s += '"';
  }

  // Exactly n characters of prose (sentences cut at n).
  void ProseExactly(std::string& s, int64_t n) {
    const size_t target = s.size() + static_cast<size_t>(n);
    while (s.size() < target) {
      Sentence(s);
      s += ' ';
    }
    s.resize(target);
  }

  void Eol(std::string& s) { s += Brk; }

  TCorpusRandom& R;
  std::string_view Brk;
};

// ---- C++-like source -------------------------------------------------------------

class TCppGen : public TGenBase {
public:
  using TGenBase::TGenBase;

  void Unit(std::string& s) {
    const uint32_t kind = R.Below(100);
    if (kind < 34)
      Function(s, 0);
    else if (kind < 44)
      DocBlock(s, 0);
    else if (kind < 52)
      LineComments(s, 0, R.Range(1, 4));
    else if (kind < 59)
      Includes(s);
    else if (kind < 70)
      Class(s);
    else if (kind < 75)
      Enum(s);
    else if (kind < 81)
      Preprocessor(s);
    else if (kind < 88)
      Namespace(s);
    else {
      // A new stretch of code in another indentation and brace style, the
      // way files written by different people follow each other.
      fIndentStyle = static_cast<int>(R.Below(4));
      fBraceOnOwnLine = R.Chance(35);
      Eol(s);
    }
  }

  // Exactly n characters of one line, no break: a line comment.
  void Filler(std::string& s, int64_t n) {
    if (n < 4) {
      s.append(static_cast<size_t>(n), ' ');
      return;
    }
    s += "// ";
    ProseExactly(s, n - 3);
  }

private:
  void Indent(std::string& s, int depth) {
    switch (fIndentStyle) {
    case 0:
      s.append(static_cast<size_t>(depth), '\t');
      break;
    case 1:
      s.append(static_cast<size_t>(depth) * 4, ' ');
      break;
    case 2:
      s.append(static_cast<size_t>(depth) * 2, ' ');
      break;
    default:
      // Four-column steps written with eight-column tabs where possible.
      s.append(static_cast<size_t>(depth / 2), '\t');
      if (depth % 2)
        s.append(4, ' ');
      break;
    }
  }

  void Ident(std::string& s) {
    s += Pick(R, kVerbs);
    s += Pick(R, kNouns);
  }
  void TypeName(std::string& s) {
    if (R.Chance(70)) {
      s += PickSkewed(R, kTypes);
    } else {
      s += 'T';
      s += Pick(R, kNouns);
    }
  }

  void Number(std::string& s) {
    const uint32_t k = R.Below(10);
    if (k < 6) {
      AppendInt(s, R.Skewed(1000));
    } else if (k < 8) {
      s += "0x";
      AppendHex(s, R.Next(), 2 * R.Range(1, 4));
    } else {
      AppendInt(s, R.Below(100));
      s += '.';
      AppendInt(s, R.Range(1, 99));
      if (R.Chance(50))
        s += 'f';
    }
  }

  void StringLiteral(std::string& s) {
    s += '"';
    const int n = R.Range(1, 8);
    for (int i = 0; i < n; ++i) {
      if (i > 0)
        s += ' ';
      const uint32_t k = R.Below(100);
      if (k < 6)
        s += "\\\"";
      else if (k < 9)
        s += "\\\\";
      else if (k < 14)
        s += "%d";
      else if (k < 17)
        s += "%s";
      else if (k < 19)
        s += "// not a comment";
      else
        s += PickSkewed(R, kWords);
    }
    if (R.Chance(40))
      s += "\\n";
    s += '"';
  }

  void Expr(std::string& s, int depth) {
    const uint32_t k = R.Below(100);
    if (depth > 2 || k < 30) {
      if (R.Chance(50))
        s += Pick(R, kVars);
      else
        Number(s);
    } else if (k < 45) {
      Expr(s, depth + 1);
      s += ' ';
      s += Pick(R, kBinOps);
      s += ' ';
      Expr(s, depth + 1);
    } else if (k < 58) {
      Call(s, depth + 1);
    } else if (k < 65) {
      s += '(';
      Expr(s, depth + 1);
      s += ')';
    } else if (k < 72) {
      s += Pick(R, kVars);
      s += R.Chance(50) ? "." : "->";
      s += 'f';
      s += Pick(R, kNouns);
    } else if (k < 78) {
      Condition(s, depth + 1);
      s += " ? ";
      Expr(s, depth + 1);
      s += " : ";
      Expr(s, depth + 1);
    } else if (k < 84) {
      StringLiteral(s);
    } else if (k < 88) {
      s += Pick(R, kChars);
    } else if (k < 91) {
      s += "/* ";
      Words(s, R.Range(1, 3));
      s += " */ ";
      Expr(s, depth + 1);
    } else {
      s += Pick(R, kVars);
      s += '[';
      Expr(s, depth + 1);
      s += ']';
    }
  }

  void Condition(std::string& s, int depth) {
    Expr(s, depth + 1);
    s += ' ';
    s += Pick(R, kCmpOps);
    s += ' ';
    Expr(s, depth + 1);
    if (R.Chance(20)) {
      s += R.Chance(50) ? " && " : " || ";
      s += Pick(R, kVars);
      s += " != ";
      s += Pick(R, kChars);
    }
  }

  void Call(std::string& s, int depth) {
    Ident(s);
    s += '(';
    const int n = static_cast<int>(R.Below(4));
    for (int i = 0; i < n; ++i) {
      if (i > 0)
        s += ", ";
      Expr(s, depth + 1);
    }
    s += ')';
  }

  void TrailingComment(std::string& s) {
    if (R.Chance(12)) {
      s += "  // ";
      Words(s, R.Range(2, 8));
    }
  }

  void OpenBrace(std::string& s, int depth) {
    if (fBraceOnOwnLine) {
      Eol(s);
      Indent(s, depth);
      s += '{';
    } else {
      s += " {";
    }
    Eol(s);
  }

  void CloseBrace(std::string& s, int depth, std::string_view after = {}) {
    Indent(s, depth);
    s += '}';
    s += after;
    Eol(s);
  }

  void Body(std::string& s, int depth, int statements) {
    for (int i = 0; i < statements; ++i)
      Statement(s, depth);
  }

  void Statement(std::string& s, int depth) {
    const bool nest = depth < 5;
    const uint32_t k = R.Below(100);
    if (k < 18) {
      Indent(s, depth);
      TypeName(s);
      s += ' ';
      s += Pick(R, kVars);
      s += " = ";
      Expr(s, 0);
      s += ';';
      TrailingComment(s);
      Eol(s);
    } else if (k < 30) {
      Indent(s, depth);
      s += Pick(R, kVars);
      s += ' ';
      s += Pick(R, kAssignOps);
      s += ' ';
      Expr(s, 0);
      s += ';';
      TrailingComment(s);
      Eol(s);
    } else if (k < 40) {
      Indent(s, depth);
      Call(s, 0);
      s += ';';
      TrailingComment(s);
      Eol(s);
    } else if (k < 46) {
      Indent(s, depth);
      s += R.Chance(50) ? "qWarning(" : "std::printf(";
      StringLiteral(s);
      s += ", ";
      s += Pick(R, kVars);
      s += ");";
      Eol(s);
    } else if (k < 55 && nest) {
      If(s, depth);
    } else if (k < 61 && nest) {
      Indent(s, depth);
      s += "for (int ";
      const std::string_view v = Pick(R, kVars);
      s += v;
      s += " = 0; ";
      s += v;
      s += " < ";
      Expr(s, 1);
      s += "; ++";
      s += v;
      s += ')';
      OpenBrace(s, depth);
      Body(s, depth + 1, R.Range(1, 4));
      CloseBrace(s, depth);
    } else if (k < 65 && nest) {
      Indent(s, depth);
      s += "while (";
      Condition(s, 0);
      s += ')';
      OpenBrace(s, depth);
      Body(s, depth + 1, R.Range(1, 3));
      CloseBrace(s, depth);
    } else if (k < 68 && nest) {
      Switch(s, depth);
    } else if (k < 73) {
      Indent(s, depth);
      s += "return ";
      Expr(s, 0);
      s += ';';
      Eol(s);
    } else if (k < 79) {
      LineComments(s, depth, R.Range(1, 3));
    } else if (k < 82) {
      InlineBlockComment(s, depth);
    } else if (k < 87) {
      Indent(s, depth);
      s += "if (c == ";
      s += Pick(R, kChars);
      s += " || c == ";
      s += Pick(R, kChars);
      s += ") ++";
      s += Pick(R, kVars);
      s += ';';
      Eol(s);
    } else if (k < 92) {
      Eol(s);
    } else {
      Indent(s, depth);
      s += "const ";
      TypeName(s);
      s += " k";
      s += Pick(R, kNouns);
      s += " = ";
      Number(s);
      s += ";";
      TrailingComment(s);
      Eol(s);
    }
  }

  void If(std::string& s, int depth) {
    Indent(s, depth);
    s += "if (";
    Condition(s, 0);
    s += ')';
    OpenBrace(s, depth);
    Body(s, depth + 1, R.Range(1, 4));
    if (R.Chance(40)) {
      if (fBraceOnOwnLine) {
        CloseBrace(s, depth);
        Indent(s, depth);
        s += "else";
      } else {
        Indent(s, depth);
        s += "} else";
      }
      OpenBrace(s, depth);
      Body(s, depth + 1, R.Range(1, 3));
    }
    CloseBrace(s, depth);
  }

  void Switch(std::string& s, int depth) {
    Indent(s, depth);
    s += "switch (";
    s += Pick(R, kVars);
    s += ')';
    OpenBrace(s, depth);
    const int cases = R.Range(1, 4);
    for (int i = 0; i < cases; ++i) {
      Indent(s, depth);
      s += "case ";
      AppendInt(s, i);
      s += ':';
      Eol(s);
      Body(s, depth + 1, R.Range(1, 2));
      Indent(s, depth + 1);
      s += "break;";
      Eol(s);
    }
    Indent(s, depth);
    s += "default:";
    Eol(s);
    Indent(s, depth + 1);
    s += "break;";
    Eol(s);
    CloseBrace(s, depth);
  }

  void LineComments(std::string& s, int depth, int lines) {
    for (int i = 0; i < lines; ++i) {
      Indent(s, depth);
      s += "// ";
      Sentence(s);
      Eol(s);
    }
  }

  // A block comment inside code: on its own lines, or opened after a
  // statement and closed lines later, or short on one line.
  void InlineBlockComment(std::string& s, int depth) {
    Indent(s, depth);
    const uint32_t k = R.Below(3);
    if (k == 0) {
      s += "/* ";
      Words(s, R.Range(2, 6));
      s += " */";
      Eol(s);
      return;
    }
    if (k == 1) {
      s += Pick(R, kVars);
      s += " = 0; /* ";
    } else {
      s += "/* ";
    }
    Sentence(s);
    Eol(s);
    const int lines = R.Range(1, 4);
    for (int i = 0; i < lines; ++i) {
      Indent(s, depth);
      s += "   ";
      Sentence(s);
      if (R.Chance(15))
        s += " \"quoted // text\"";
      Eol(s);
    }
    Indent(s, depth);
    s += "*/";
    Eol(s);
  }

  void DocBlock(std::string& s, int depth) {
    Indent(s, depth);
    s += R.Chance(50) ? "/**" : "/*";
    Eol(s);
    const int lines = R.Range(1, 8);
    for (int i = 0; i < lines; ++i) {
      Indent(s, depth);
      s += " * ";
      Sentence(s);
      if (R.Chance(8))
        s += " See also 'notes' and \"cases\".";
      Eol(s);
    }
    Indent(s, depth);
    s += " */";
    Eol(s);
  }

  void Params(std::string& s) {
    const int n = static_cast<int>(R.Below(4));
    for (int i = 0; i < n; ++i) {
      if (i > 0)
        s += ", ";
      if (R.Chance(30))
        s += "const ";
      TypeName(s);
      if (R.Chance(25))
        s += '&';
      s += ' ';
      s += Pick(R, kVars);
      AppendInt(s, i);
    }
  }

  void Function(std::string& s, int depth) {
    if (R.Chance(40))
      LineComments(s, depth, R.Range(1, 3));
    Indent(s, depth);
    const uint32_t k = R.Below(4);
    if (k == 0)
      s += "static ";
    else if (k == 1)
      s += "inline ";
    TypeName(s);
    s += ' ';
    Ident(s);
    s += '(';
    Params(s);
    s += ')';
    OpenBrace(s, depth);
    Body(s, depth + 1, R.Range(2, 12));
    CloseBrace(s, depth);
    Eol(s);
  }

  void Includes(std::string& s) {
    const int n = R.Range(2, 6);
    for (int i = 0; i < n; ++i) {
      s += "#include ";
      if (R.Chance(50)) {
        s += Pick(R, kHeaders);
      } else {
        s += "\"support/";
        s += Pick(R, kNouns);
        s += Pick(R, kNouns);
        s += ".h\"";
      }
      Eol(s);
    }
    Eol(s);
  }

  void Class(std::string& s) {
    if (R.Chance(50))
      LineComments(s, 0, R.Range(1, 2));
    s += R.Chance(70) ? "class T" : "struct T";
    s += Pick(R, kNouns);
    s += Pick(R, kNouns);
    if (R.Chance(40)) {
      s += " : public T";
      s += Pick(R, kNouns);
    }
    OpenBrace(s, 0);
    s += "public:";
    Eol(s);
    const int methods = R.Range(1, 6);
    for (int i = 0; i < methods; ++i) {
      Indent(s, 1);
      TypeName(s);
      s += ' ';
      Ident(s);
      s += '(';
      Params(s);
      s += R.Chance(40) ? ") const;" : ");";
      TrailingComment(s);
      Eol(s);
    }
    Eol(s);
    s += "private:";
    Eol(s);
    const int fields = R.Range(1, 6);
    for (int i = 0; i < fields; ++i) {
      Indent(s, 1);
      TypeName(s);
      s += " f";
      s += Pick(R, kNouns);
      if (R.Chance(50)) {
        s += " = ";
        Number(s);
      }
      s += ';';
      TrailingComment(s);
      Eol(s);
    }
    s += "};";
    Eol(s);
    Eol(s);
  }

  void Enum(std::string& s) {
    s += "enum class E";
    s += Pick(R, kNouns);
    s += " : uint8_t";
    OpenBrace(s, 0);
    const int n = R.Range(2, 8);
    for (int i = 0; i < n; ++i) {
      Indent(s, 1);
      s += Pick(R, kNouns);
      AppendInt(s, i);
      if (R.Chance(30)) {
        s += " = ";
        AppendInt(s, i * 4);
      }
      s += ',';
      TrailingComment(s);
      Eol(s);
    }
    s += "};";
    Eol(s);
    Eol(s);
  }

  void Preprocessor(std::string& s) {
    const uint32_t k = R.Below(3);
    if (k == 0) {
      s += "#define ZV_";
      s += Pick(R, kNouns);
      s += "(a, b) ((a) > (b) ? (a) : (b))";
      Eol(s);
    } else if (k == 1) {
      s += "#define ZV_CHECK_";
      s += Pick(R, kNouns);
      s += "(x) \\";
      Eol(s);
      s += "  do { \\";
      Eol(s);
      s += "    if (!(x)) std::abort(); \\";
      Eol(s);
      s += "  } while (0)";
      Eol(s);
    } else {
      s += R.Chance(50) ? "#if 0" : "#ifdef ZV_DEBUG_";
      if (s.back() == '_')
        s += Pick(R, kNouns);
      Eol(s);
      Body(s, 0, R.Range(1, 3));
      s += "#endif";
      Eol(s);
    }
    Eol(s);
  }

  void Namespace(std::string& s) {
    s += "namespace ";
    std::string name(Pick(R, kNouns));
    name[0] = static_cast<char>(name[0] - 'A' + 'a');
    s += name;
    s += " {";
    Eol(s);
    Eol(s);
    const int n = R.Range(1, 3);
    for (int i = 0; i < n; ++i)
      Function(s, 0);
    s += "} // namespace ";
    s += name;
    Eol(s);
    Eol(s);
  }

  int fIndentStyle = 1;
  bool fBraceOnOwnLine = false;
};

// ---- Prose -----------------------------------------------------------------------

class TProseGen : public TGenBase {
public:
  using TGenBase::TGenBase;

  void Unit(std::string& s) {
    if (R.Chance(5)) {
      // A heading: a few capitalised words on a line of their own.
      const int n = R.Range(1, 5);
      for (int i = 0; i < n; ++i) {
        if (i > 0)
          s += ' ';
        const size_t at = s.size();
        s += Pick(R, kWords);
        s[at] = static_cast<char>(s[at] - 'a' + 'A');
      }
      Eol(s);
      Eol(s);
      return;
    }
    // Paragraph lengths run from one short sentence to a few thousand
    // characters, short ones being the most common.
    const int sentences = 1 + static_cast<int>(R.Skewed(40));
    for (int i = 0; i < sentences; ++i) {
      if (i > 0)
        s += ' ';
      Sentence(s);
    }
    Eol(s);
    if (R.Chance(80))
      Eol(s);
  }

  void Filler(std::string& s, int64_t n) { ProseExactly(s, n); }
};

// ---- Very long lines ---------------------------------------------------------------

class TLongLineGen : public TGenBase {
public:
  using TGenBase::TGenBase;

  // Exactly n characters: prose with code fragments mixed in.
  void Line(std::string& s, int64_t n) {
    const size_t target = s.size() + static_cast<size_t>(n);
    while (s.size() < target) {
      if (R.Chance(15)) {
        s += "x = compute(\"";
        Words(s, R.Range(1, 5));
        s += "\", 0x";
        AppendHex(s, R.Next(), 4);
        s += "); /* ";
        Words(s, R.Range(1, 4));
        s += " */\t";
      } else {
        Sentence(s);
        s += ' ';
      }
    }
    s.resize(target);
  }
};

// Units while they fit, then filler lines of at most kFillerLine characters;
// the last line takes the exact remainder and has no break.
template <class TGen>
void GenerateUnits(TGen& gen, std::string& out, size_t target, std::string_view brk) {
  constexpr int64_t kFillerLine = 60;
  std::string unit;
  for (;;) {
    unit.clear();
    gen.Unit(unit);
    if (out.size() + unit.size() > target)
      break;
    out += unit;
  }
  for (;;) {
    const auto rest = static_cast<int64_t>(target - out.size());
    if (rest <= kFillerLine + static_cast<int64_t>(brk.size())) {
      gen.Filler(out, rest);
      return;
    }
    gen.Filler(out, kFillerLine);
    out += brk;
  }
}

} // namespace

std::string GenerateCorpus(const TCorpusOptions& options) {
  std::string out;
  if (options.Bytes <= 0)
    return out;
  const auto target = static_cast<size_t>(options.Bytes);
  out.reserve(target);
  const std::string_view brk = options.LineBreak == TCorpusBreak::LF ? "\n" : "\r\n";
  TCorpusRandom r(options.Seed);
  switch (options.Kind) {
  case TCorpusKind::Cpp: {
    TCppGen gen(r, brk);
    GenerateUnits(gen, out, target, brk);
    break;
  }
  case TCorpusKind::Prose: {
    TProseGen gen(r, brk);
    GenerateUnits(gen, out, target, brk);
    break;
  }
  case TCorpusKind::LongLines: {
    TLongLineGen gen(r, brk);
    const auto brkLen = static_cast<int64_t>(brk.size());
    for (;;) {
      const auto rest = static_cast<int64_t>(target - out.size());
      if (rest <= LongLineBytes) {
        gen.Line(out, rest);
        break;
      }
      gen.Line(out, LongLineBytes - brkLen);
      out += brk;
    }
    break;
  }
  }
  return out;
}

std::u16string WidenAscii(std::string_view text) {
  std::u16string wide(text.size(), u'\0');
  std::transform(text.begin(), text.end(), wide.begin(),
                 [](char c) { return static_cast<char16_t>(static_cast<unsigned char>(c)); });
  return wide;
}

std::optional<TCorpusKind> ParseCorpusKind(std::string_view name) {
  if (name == "cpp")
    return TCorpusKind::Cpp;
  if (name == "prose")
    return TCorpusKind::Prose;
  if (name == "longlines")
    return TCorpusKind::LongLines;
  return std::nullopt;
}

std::string_view CorpusKindName(TCorpusKind kind) {
  switch (kind) {
  case TCorpusKind::Prose:
    return "prose";
  case TCorpusKind::LongLines:
    return "longlines";
  case TCorpusKind::Cpp:
  default:
    return "cpp";
  }
}

std::optional<int64_t> ParseByteSize(std::string_view text) {
  int64_t value = 0;
  const auto res = std::from_chars(text.data(), text.data() + text.size(), value);
  if (res.ec != std::errc() || value < 0)
    return std::nullopt;
  std::string suffix(res.ptr, text.data() + text.size());
  for (char& c : suffix)
    c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  int64_t unit = 1;
  if (suffix.empty() || suffix == "B")
    unit = 1;
  else if (suffix == "K" || suffix == "KB" || suffix == "KIB")
    unit = KB;
  else if (suffix == "M" || suffix == "MB" || suffix == "MIB")
    unit = MB;
  else if (suffix == "G" || suffix == "GB" || suffix == "GIB")
    unit = MB * KB;
  else
    return std::nullopt;
  if (value > INT64_MAX / unit)
    return std::nullopt;
  return value * unit;
}

std::string CppCorpus(int64_t bytes) {
  TCorpusOptions options;
  options.Kind = TCorpusKind::Cpp;
  options.Bytes = bytes;
  return GenerateCorpus(options);
}

std::string CorpusOfParagraphs(int32_t paragraphs) {
  TCorpusOptions options;
  options.Bytes = int64_t{paragraphs} * 48;
  for (;;) {
    const std::string text = GenerateCorpus(options);
    int32_t breaks = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\r' && ++breaks == paragraphs)
        return text.substr(0, i);
    }
    options.Bytes *= 2;
  }
}

} // namespace zarv::bench
