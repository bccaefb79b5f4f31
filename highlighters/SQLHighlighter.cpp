// The SQL vocabulary and keys, and the "#" comment switch.
#include <ZarvMemo/highlighters/SQLHighlighter.h>

#include <ZarvMemo/platform/ValueFiler.h>

namespace zarv {

TSQLHighlighter::TConfirmFunc TSQLHighlighter::ConfirmFunc;

const QStringList& TSQLHighlighter::SQLKeywordList() {
  // Indexes are stored ("ModFormats"): the order is fixed, and so are the
  // entries that join two words, which match only with one space between.
  static const QStringList words = {"ACTIVE",
                                    "ADD",
                                    "ALL",
                                    "AFTER",
                                    "ALTER",
                                    "AND",
                                    "ANY",
                                    "AS",
                                    "ASCASCENDING",
                                    "AT",
                                    "AUTO",
                                    "AUTOINC",
                                    "AVG",
                                    "BASE_NAME",
                                    "BEFORE",
                                    "BEGIN",
                                    "BETWEEN",
                                    "BLOB",
                                    "BOOLEAN",
                                    "BOTH",
                                    "BY",
                                    "BYTES",
                                    "CACHE",
                                    "CAST",
                                    "CHAR",
                                    "CHARACTER",
                                    "CHECK",
                                    "CHECK_POINT_LENGTH",
                                    "COLLATE",
                                    "COLUMN",
                                    "COMMIT",
                                    "COMMITTED",
                                    "COMPUTED",
                                    "CONDITIONAL",
                                    "CONSTRAINT",
                                    "CONTAINING",
                                    "COUNT",
                                    "CREATE",
                                    "CSTRING",
                                    "CURRENT",
                                    "CURSOR",
                                    "DATABASE",
                                    "DATE",
                                    "DAY",
                                    "DEBUG",
                                    "DEC",
                                    "DECIMAL",
                                    "DECLARE",
                                    "DEFAULT",
                                    "DELETE",
                                    "DESC",
                                    "DESCENDING",
                                    "DISTINCT DO",
                                    "DOMAIN",
                                    "DOUBLE",
                                    "DROP",
                                    "ELSE",
                                    "END",
                                    "ENTRY_POINT",
                                    "ESCAPE",
                                    "EXCEPTION",
                                    "EXECUTE",
                                    "EXISTS",
                                    "EXIT",
                                    "EXTERNAL",
                                    "EXTRACT",
                                    "FILE",
                                    "FILTER",
                                    "FLOAT",
                                    "FOR",
                                    "FOREIGN",
                                    "FROM",
                                    "FULL",
                                    "FUNCTION",
                                    "GDSCODE",
                                    "GENERATOR",
                                    "GEN_ID",
                                    "GRANT",
                                    "GROUP",
                                    "GROUP_COMMIT_WAIT_TIME",
                                    "HAVING",
                                    "HOUR",
                                    "IF",
                                    "ININT",
                                    "INACTIVE",
                                    "INDEX",
                                    "INNER",
                                    "INPUT_TYPE",
                                    "INSERT",
                                    "INTEGER",
                                    "INTO",
                                    "IS",
                                    "ISOLATION",
                                    "JOIN",
                                    "KEY",
                                    "LONG",
                                    "LENGTH",
                                    "LOGFILE",
                                    "LOWER",
                                    "LEADING",
                                    "LEFT",
                                    "LEVEL",
                                    "LIKE",
                                    "LOG_BUFFER_SIZE",
                                    "MANUAL",
                                    "MAX",
                                    "MAXIMUM_SEGMENT",
                                    "MERGE",
                                    "MESSAGE",
                                    "MIN",
                                    "MINUTE",
                                    "MODULE_NAME",
                                    "MONEY",
                                    "MONTH",
                                    "NAMES",
                                    "NATIONAL",
                                    "NATURAL",
                                    "NCHAR",
                                    "NO",
                                    "NOT",
                                    "NULL",
                                    "NUM_LOG_BUFFERS",
                                    "NUMERIC",
                                    "OF",
                                    "ON",
                                    "ONLY",
                                    "OPTION",
                                    "OR",
                                    "ORDER",
                                    "OUTER",
                                    "OUTPUT_TYPE",
                                    "OVERFLOW",
                                    "PAGE_SIZE",
                                    "PAGE",
                                    "PAGES",
                                    "PARAMETER",
                                    "PASSWORD",
                                    "PLAN",
                                    "POSITION",
                                    "POST_EVENT",
                                    "PRECISION",
                                    "PROCEDURE",
                                    "PROTECTED",
                                    "PRIMARY",
                                    "PRIVILEGES",
                                    "RAW_PARTITIONS",
                                    "RDB$DB_KEY",
                                    "READ",
                                    "REAL",
                                    "RECORD_VERSION",
                                    "REFERENCES",
                                    "RESERV",
                                    "RESERVING",
                                    "RETAIN",
                                    "RETURNING_VALUES",
                                    "RETURNS",
                                    "REVOKE",
                                    "RIGHT ROLLBACK",
                                    "SCHEMA",
                                    "SECOND",
                                    "SEGMENT",
                                    "SELECT",
                                    "SET",
                                    "SHADOW",
                                    "SHARED",
                                    "SHOW",
                                    "SINGULAR",
                                    "SIZE",
                                    "SMALLINT",
                                    "SNAPSHOT",
                                    "SOME",
                                    "SORT",
                                    "SQLCODE",
                                    "STABILITY",
                                    "STARTING",
                                    "STARTS",
                                    "STATISTICS",
                                    "SUB_TYPE",
                                    "SUBSTRING",
                                    "SUM",
                                    "SUSPEND",
                                    "TABLE",
                                    "THEN",
                                    "TIME",
                                    "TIMESTAMP",
                                    "TIMEZONE_HOUR",
                                    "TIMEZONE_MINUTE",
                                    "TO",
                                    "TRAILING",
                                    "TRANSACTION",
                                    "TRIGGER",
                                    "TRIM",
                                    "UNCOMMITTED",
                                    "UNION",
                                    "UNIQUE",
                                    "UPDATE",
                                    "UPPER",
                                    "USER",
                                    "VALUE",
                                    "VALUES",
                                    "VARCHAR",
                                    "VARIABLE",
                                    "VARYING",
                                    "VIEW",
                                    "WAIT",
                                    "WHEN",
                                    "WHERE",
                                    "WHILE",
                                    "WITH",
                                    "WORK",
                                    "WRITE",
                                    "YEAR"};
  return words;
}

const QStringList& TSQLHighlighter::OperatorList() {
  static const QStringList ops = {"(", ")", "[", "]", "/", "-", "^", "+"};
  return ops;
}

TSQLHighlighter::TSQLHighlighter(QObject* parent)
    : TLanguageHighlighter(parent), fSQLKeywords(addCategory("SQLKeywords", {false, fsBold, clDefault, clDefault})),
      fStringsHilit(addCategory("Strings", {false, 0, 0xC0C0C0, 0})),
      fComments(addCategory("Comments", {false, fsItalic, clDefault, 0xFF0000})),
      fOperators(addCategory("Operators", {false, fsBold, clDefault, 0x0000FF})),
      fNumbers(addCategory("Numbers", {false, 0, clDefault, 0x0000FF})) {
  setDelimiters(MakeCharSet("\t \"'(),-./:;<=>[]{}"));
  {
    TExtKeywordList& kw = Keywords();
    const TStrings::UpdateLock batch(kw);
    for (const QString& w : SQLKeywordList())
      kw.AddExtKeyWord(w, woWholeWordsOnly, fsBold, kKeywordContext, 0, 0, 0, clDefault, clDefault);
    for (const QString& op : OperatorList())
      kw.AddExtKeyWord(op, {}, fsBold, kOperatorContext, 0, 0, 0, clDefault, 0x0000FF);
  }
  TExtStartStopList& ss = StartStopKeys();
  ss.AddExStartStopKey("\"", "\"", {}, 0, kStringContext, 0, 0, 0, 0xC0C0C0, 0, ssoParStop);
  ss.AddExStartStopKey("'", "'", {}, 0, kStringContext, 0, 0, 0, 0xC0C0C0, 0, ssoParStop);
  ss.AddExStartStopKey("/*", "*/", {}, fsItalic, kCommentContext, 0, 0, 0, clDefault, 0x008000, {});
  ss.AddExStartStopKey("#", QString(), {}, fsItalic, kCommentContext, 0, 0, 0, clDefault, 0x008000, ssoParStop);
  ss.AddExStartStopKey("--", QString(), {}, fsItalic, kCommentContext, 0, 0, 0, clDefault, 0x008000, ssoParStop);
  addKeywordGroup(fSQLKeywords, 0, kFirstOperator - 1, woWholeWordsOnly, kKeywordContext);
  addKeyBinding(fOperators, {}, kFirstOperator, kFirstOperator + int32_t(OperatorList().size()) - 1);
  addKeyBinding(fStringsHilit, {kDoubleQuoteKey, kSingleQuoteKey});
  addKeyBinding(fComments, {kBlockCommentKey, kSharpCommentKey, kDashCommentKey});
  setNumbersCategory(fNumbers);
  OnStart = [this](TCustomExtHighlighter& s, TZarvNavigator& a, TZarvNavigator& b, int32_t k, bool& ok) {
    GetStartConfirmation(s, a, b, k, ok);
  };
  TNumberHighlighter& n = NumberHighlighter();
  n.setDelimiters(Delimiters());
  n.setForegnd(0x0000FF);
  n.setContextNum(kNumberContext);
  n.OnQueryHilit = [this](TCustomExtHighlighter& s, int16_t scope, bool& doHilit) {
    GetNumberConfirmation(s, scope, doHilit);
  };
}

void TSQLHighlighter::SetUseSharpAsComment(bool value) {
  if (value == fUseSharpAsComment)
    return;
  fUseSharpAsComment = value;
  designTimeReApply();
}

void TSQLHighlighter::GetStartConfirmation(TCustomExtHighlighter&, TZarvNavigator&, TZarvNavigator&, int32_t KIndex,
                                           bool& Accept) {
  if (KIndex == kSharpCommentKey && !fUseSharpAsComment)
    Accept = false;
}

void TSQLHighlighter::GetNumberConfirmation(TCustomExtHighlighter&, int16_t Scope, bool& DoHilit) {
  DoHilit = Scope == 0;
}

void TSQLHighlighter::writeProperties(TWriter& writer) const {
  if (fUseSharpAsComment) {
    writer.WritePropName(QStringLiteral("UseSharpAsComment"));
    writer.WriteBoolean(true);
  }
  TLanguageHighlighter::writeProperties(writer);
}

bool TSQLHighlighter::readProperty(const QString& name, TReader& reader) {
  if (name == QLatin1String("UseSharpAsComment")) {
    fPendingSharp = reader.ReadBoolean();
    return true;
  }
  return TLanguageHighlighter::readProperty(name, reader);
}

void TSQLHighlighter::beginRead() {
  fPendingSharp = false;
  TLanguageHighlighter::beginRead();
}

void TSQLHighlighter::commitRead() {
  fUseSharpAsComment = fPendingSharp;
  TLanguageHighlighter::commitRead();
}

} // namespace zarv
