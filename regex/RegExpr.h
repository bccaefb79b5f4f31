// TRegExpr: the library's own regular-expression engine.
//
// A pattern is compiled into a small node program (regex/RegExprProgram.h)
// by a recursive-descent parser, and run by a backtracking interpreter over
// 16-bit units. The object holds the pattern, the modifiers, the character
// classes it matches with, the compiled program, the subject and the bounds
// of the last match, so one object is one reusable "regex + last result",
// used from one thread at a time.
//
// The work is split over several files: RegExpr.cpp (properties, modifiers,
// errors), RegExprCompiler.cpp and RegExprAtoms.cpp (parsing and emission),
// RegExprTables.cpp (set bitmaps and the first-unit filter of the search),
// RegExprDump.cpp (the program listing), RegExprMatcher.cpp (the
// interpreter), RegExprExec.cpp (searching, match results, substitution,
// replace and split). Free functions are in RegExprFunctions.h.
//
// Three guards keep hostile patterns and subjects from hurting the caller:
// the compiler refuses a program past MaxProgramUnits (error 101), the
// interpreter backtracks through an explicit stack of bounded size instead
// of recursing (BacktrackLimit, error 1017), and a search stops after a
// budget of steps that pays for all of its work (StepLimit, error 1016).
#pragma once

#include <ZarvMemo/regex/ERegExpr.h>
#include <ZarvMemo/regex/RegExprProgram.h>
#include <ZarvMemo/regex/UnitSet.h>

#include <QString>
#include <QStringView>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace zarv {

class TStrings;
class TRegExpr;

// Case inversion used for case-insensitive comparison: one unit in, one out.
using TRegExprInvertCaseFunction = std::function<char16_t(char16_t Ch)>;
// Called once per match by ReplaceEx; returns the replacement text.
using TRegExprReplaceFunction = std::function<QString(TRegExpr& ARegExpr)>;

// Defaults a new TRegExpr takes; an application may change them before it
// creates its objects.
inline bool RegExprModifierI = false;
inline bool RegExprModifierR = true;
inline bool RegExprModifierS = true;
inline bool RegExprModifierG = true;
inline bool RegExprModifierM = false;
inline constexpr char16_t RegExprSpaceChars[] = u" \t\n\r\f";
inline constexpr char16_t RegExprWordChars[] = u"0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_";
inline constexpr char16_t RegExprLineSeparators[] = u"\r\n\x0b\x0c\u2028\u2029\u0085";

// Error codes beyond the classic set, raised by the run-time guards.
inline constexpr int32_t reeStepLimitExceeded = 1016;
inline constexpr int32_t reeBacktrackLimitExceeded = 1017;

class TRegExpr {
public:
  // Modifier bits of fModifiers and its kin.
  enum : int { MaskModI = 1, MaskModR = 2, MaskModS = 4, MaskModG = 8, MaskModM = 16, MaskModX = 32 };

  TRegExpr();
  virtual ~TRegExpr();
  // The match bounds point into the object's own subject: not copyable, and
  // not movable either, since callers keep views of matches.
  TRegExpr(const TRegExpr&) = delete;
  TRegExpr& operator=(const TRegExpr&) = delete;

  static int32_t VersionMajor() { return 0; }
  static int32_t VersionMinor() { return 952; }

  // ---- Pattern and modifiers (RegExpr.cpp) ------------------------------------
  QString Expression() const { return fExpression.value_or(QString()); }
  void SetExpression(const QString& AStr);

  QString ModifierStr() const;
  void SetModifierStr(const QString& AStr);
  // Modifier numbers 1 to 6: i, r, s, g, m, x. Any other raises 1013.
  bool GetModifier(int32_t AIndex) const;
  void SetModifier(int32_t AIndex, bool ASet);
  bool ModifierI() const { return GetModifier(1); }
  void SetModifierI(bool v) { SetModifier(1, v); }
  bool ModifierR() const { return GetModifier(2); }
  void SetModifierR(bool v) { SetModifier(2, v); }
  bool ModifierS() const { return GetModifier(3); }
  void SetModifierS(bool v) { SetModifier(3, v); }
  bool ModifierG() const { return GetModifier(4); }
  void SetModifierG(bool v) { SetModifier(4, v); }
  bool ModifierM() const { return GetModifier(5); }
  void SetModifierM(bool v) { SetModifier(5, v); }
  bool ModifierX() const { return GetModifier(6); }
  void SetModifierX(bool v) { SetModifier(6, v); }

  // Read by sets at compile time and by \w, \s, \b at match time.
  QString SpaceChars() const { return fSpaceChars.Units(); }
  void SetSpaceChars(const QString& AStr) {
    fSpaceChars.Assign(AStr);
    fFirstUnitsReady = false;
  }
  QString WordChars() const { return fWordChars.Units(); }
  void SetWordChars(const QString& AStr) {
    fWordChars.Assign(AStr);
    fFirstUnitsReady = false;
  }
  QString LineSeparators() const { return fLineSeparators.Units(); }
  void SetLineSeparators(const QString& AStr);
  // Two different units, or empty for none; anything else raises 128.
  QString LinePairedSeparator() const;
  void SetLinePairedSeparator(const QString& AStr);
  const TRegExprInvertCaseFunction& InvertCase() const { return fInvertCase; }
  void SetInvertCase(const TRegExprInvertCaseFunction& AFunc);
  static char16_t InvertCaseFunction(char16_t Ch);

  // ---- Program (RegExpr.cpp, RegExprCompiler.cpp, RegExprDump.cpp) ----------
  void Compile();
  void InvalidateProgramm();
  // Compiles when there is no program or the modifiers changed since.
  bool IsProgrammOk();
  // Returns the code of the last error and forgets it.
  int32_t LastError();
  virtual QString ErrorMsg(int32_t AErrorID) const;
  // Records AErrorID and raises ERegExpr with its message.
  virtual void Error(int32_t AErrorID);
  int32_t CompilerErrorPos() const;
  // One line per node, then the search hints the compiler derived.
  QString Dump();
  // Units of the compiled program, 0 when there is none.
  int32_t ProgramSize() const { return int32_t(programm.size()); }

  // ---- Searching and results (RegExprExec.cpp) --------------------------------
  QString InputString() const;
  void SetInputString(const QString& AInputString);
  bool Exec(const QString& AInputString);
  bool Exec();
  bool Exec(int32_t AOffset);
  bool ExecPos(int32_t AOffset = 1);
  bool ExecNext();
  // Searches a subject that the caller keeps alive and unchanged while the
  // match results are read; nothing is copied.
  bool ExecView(QStringView ASubject, int32_t AOffset = 1);

  // 1-based position, length and text of the match (0) or group Idx (1..14);
  // -1, -1 and empty when there is none.
  int32_t MatchPos(int32_t Idx) const;
  int32_t MatchLen(int32_t Idx) const;
  QString Match(int32_t Idx) const;
  QStringView MatchView(int32_t Idx) const;
  int32_t SubExprMatchCount() const;

  QString Substitute(const QString& ATemplate);
  QString Replace(const QString& AInputStr, const QString& AReplaceStr, bool AUseSubstitution = false);
  QString Replace(const QString& AInputStr, const TRegExprReplaceFunction& AReplaceFunc);
  QString ReplaceEx(const QString& AInputStr, const TRegExprReplaceFunction& AReplaceFunc);
  void Split(const QString& AInputStr, TStrings& APieces);

  // ---- Run-time guards --------------------------------------------------------
  // Interpreter steps one search may take (0: unlimited): nodes visited,
  // alternatives passed over, and subject units examined by repeats and
  // back-references, eight to a step.
  int64_t StepLimit() const { return fStepLimit; }
  void SetStepLimit(int64_t ALimit) { fStepLimit = ALimit; }
  // The steps of the budget the last search left unspent, so that a caller
  // can spread one budget over a series of searches.
  int64_t StepsLeft() const { return fStepsLeft; }
  // Saved backtracking states one match attempt may hold at once.
  int32_t BacktrackLimit() const { return fBacktrackLimit; }
  void SetBacktrackLimit(int32_t ALimit) {
    fBacktrackLimit = ALimit;
    fPushRoom = ALimit > 0 ? size_t(ALimit) : SIZE_MAX;
  }
  static constexpr int64_t DefaultStepLimit = 100'000'000;
  static constexpr int32_t DefaultBacktrackLimit = 8 * 1024 * 1024;

private:
  struct TBacktrackFrame;

  // Error, guaranteed not to return: what the engine calls.
  [[noreturn]] void Raise(int32_t AErrorID);

  // RegExprCompiler.cpp
  void CompileRegExpr(const char16_t* exp);
  int32_t ParseReg(bool paren, int& flagp);
  int32_t ParseBranch(int& flagp);
  int32_t ParsePiece(int& flagp);
  bool ParseBraces(int32_t& min, int32_t& max);
  int32_t ParseBraceNumber(const char16_t* begin, const char16_t* end);
  int32_t EmitQuantifier(char16_t op, int32_t atom, int atomFlags, bool nonGreedy, int32_t min, int32_t max);
  int32_t EmitLoop(int32_t atom, bool nonGreedy, int32_t min, int32_t max);
  // RegExprTables.cpp
  struct TUnitSink;
  struct TNodeSlot;
  struct TSetBits;
  struct TAltRecord;
  void BuildSetTables();
  void AddAltChain(std::vector<TNodeSlot>& records, int32_t first, std::vector<bool>& inChain);
  void AddSetRecord(std::vector<TNodeSlot>& records, int32_t s);
  void ClearDerivedTables();
  inline int32_t NodeSlot(int32_t node) const;
  bool InSetNode(int32_t scan, char16_t u) const;
  void PrepareFirstUnits();
  void FindFirstRanges();
  bool FirstUnits(int32_t scan, int depth, int& budget, TUnitSink& sink);
  inline int32_t ViableAlt(int32_t alt, char16_t u);
  // RegExprHints.cpp
  void SetSearchHints(int flags);
  void FindRequiredUnit();
  void FindLeadRepeat();
  struct TRequired;
  bool RequiredUnit(int32_t scan, int32_t stop, int depth, int& budget, TRequired& req) const;
  void RequiredOfNode(int32_t scan, TRequired& req) const;
  int32_t RequiredOfAlternatives(int32_t first, int depth, int& budget, TRequired& req) const;
  bool RequiredUnitAhead(const char16_t* s) {
    return fReqUnit == 0 || (fReqLastKnown ? fReqLast != nullptr && s <= fReqLast : RequiredUnitAheadSlow(s));
  }
  bool RequiredUnitAheadSlow(const char16_t* s);
  // RegExprAtoms.cpp
  int32_t ParseAtom(int& flagp);
  int32_t ParseEscapeAtom(int& flagp);
  int32_t ParseGroupOrOption(int& flagp);
  int32_t ParseSet(int& flagp);
  int32_t ParseLiteralRun(int& flagp);
  void SkipExtendedSpace();
  char16_t UnQuoteChar();
  char16_t ParseHex();
  using TSetRuns = std::vector<std::pair<char16_t, char16_t>>;
  void AddSetRun(TSetRuns& runs, char16_t lo, char16_t hi);
  void AddRange(TSetRuns& runs, char16_t lo, char16_t hi);
  void AddSetUnits(TSetRuns& runs, const QString& units);
  // Emission
  int32_t EmitNode(char16_t op);
  void EmitC(char16_t unit);
  void EmitInt(int32_t value);
  void EmitString(QStringView units);
  void EmitSetOperand(const TSetRuns& runs);
  void ReserveUnits(int64_t count);
  void InsertOperator(char16_t op, int32_t opnd, int32_t size);
  void Tail(int32_t p, int32_t val);
  void OpTail(int32_t p, int32_t val);

  // RegExprMatcher.cpp
  bool MatchPrim(int32_t scan);
  bool MatchSimple(char16_t op, int32_t scan, char16_t u);
  bool Backtrack(int32_t& scan);
  bool StartBranch(int32_t& scan);
  bool EmptyIteration(int32_t atom) const;
  bool LoopBack(int32_t& target);
  // The step budget: a step is a node visited or an alternative passed
  // over, and eight subject units examined by a repeat, its back-off or a
  // back-reference (they cost about as much: a tight loop per unit).
  void Charge(int64_t steps) {
    if ((fStepsLeft -= steps) < 0)
      Raise(reeStepLimitExceeded);
  }
  void ChargeUnits(int64_t units) { Charge(1 + (units >> 3)); }
  bool StartRepeat(int32_t& scan);
  bool NextRepeatCount(TBacktrackFrame& f);
  bool LeadRepeatFailed(int32_t scan, int32_t opnd, int32_t count, bool backref);
  struct TRepeatRecord;
  bool FollowOk(const TBacktrackFrame& f, const TRepeatRecord* r, const char16_t* at) const;
  void PrepareRepeat(TRepeatRecord& record);
  // The record of a repeat node; the last one asked for is kept at hand.
  inline const TRepeatRecord& RepeatRecordOf(int32_t node);
  bool StartLoop(int32_t& scan, bool nonGreedy);
  int32_t RegRepeat(int32_t p, int32_t AMax);
  int32_t RepeatBackReference(int32_t p, int32_t AMax);
  bool SameUnitCI(char16_t pattern, char16_t subject) const;
  bool InSetCI(int32_t scan, char16_t u) const;
  char16_t Invert(char16_t u) const;
  bool IsLineSeparator(char16_t u) const { return fLineSeparators.Contains(u); }
  bool AtLineStart() const;
  bool AtLineEnd() const;
  inline void Push(const TBacktrackFrame& f);
  void PushPastLimit(const TBacktrackFrame& f);
  bool GroupIsSet(int n) const;

  // RegExprExec.cpp
  bool ExecPrim(int32_t AOffset);
  bool SearchFrom(const char16_t* s);
  const char16_t* NextFirstUnit(const char16_t* s) const;
  bool RegMatchAt(const char16_t* s);
  bool PassFailedStarts(const char16_t*& s) const;
  bool SearchLiteral(const char16_t* s);
  void ClearMatches();
  void AssignSubject(QStringView subject);

  // Shared modifier-letter parser of ModifierStr and "(?...)".
  static bool ParseModifiers(const char16_t* begin, const char16_t* end, int& mods);

  // ---- Match state ------------------------------------------------------------
  // startp[n]/endp[n]: bounds of group n (0: the whole match) in the subject,
  // both nullptr when the group took no part.
  const char16_t* startp[regexprog::NSUBEXP];
  const char16_t* endp[regexprog::NSUBEXP];
  // Counters of the active counted loops, LoopStack[1..LoopStackIdx].
  int32_t LoopStack[regexprog::LoopStackMax + 1];
  int32_t LoopStackIdx = 0;

  // Search hints: every match starts with regstart (0: unknown), can only
  // start at the search start (reganch), or contains the literal of regmlen
  // units at programm[regmust] (regmust 0: none).
  char16_t regstart = 0;
  uint16_t reganch = 0;
  int32_t regmust = 0;
  int32_t regmlen = 0;

  // The subject is [fInputStart, fInputEnd): it ends at its first 0 unit.
  const char16_t* reginput = nullptr;
  const char16_t* fInputStart = nullptr;
  const char16_t* fInputEnd = nullptr;

  // ---- Compile state (valid while CompileRegExpr runs) ------------------------
  const char16_t* regparse = nullptr;
  int32_t regnpar = 1;
  int32_t regsize = 0;
  const char16_t* regexpbeg = nullptr;

  bool fExprIsCompiled = false;
  // Empty when there is no program; else programm[0] == MAGIC.
  regexprog::TProgram programm;
  std::optional<QString> fExpression; // nullopt: none
  QString fInputString;               // the subject, when assigned as text
  QStringView fSubject;               // the whole subject, 0 units included
  bool fInputAssigned = false;        // a subject was set
  bool fInputIsView = false;          // fSubject is a caller's view, not fInputString
  int32_t fLastError = 0;

  int fModifiers = 0;
  int fCompModifiers = 0;
  int fProgModifiers = 0;

  TUnitSet fSpaceChars;
  TUnitSet fWordChars;
  TUnitSet fLineSeparators;
  TRegExprInvertCaseFunction fInvertCase;
  bool fInvertCaseIsDefault = true; // skip the std::function on the hot path
  bool fLinePairedSeparatorAssigned = true;
  char16_t fLinePairedSeparatorHead = u'\r';
  char16_t fLinePairedSeparatorTail = u'\n';

  // ---- Tables derived from the program, for speed only ---------------------------
  // Records of set nodes, alternatives and simple repeats (RegExprTables.h),
  // found by node index through fNodeSlots, an open-addressing table of a
  // power-of-two size: proportionate to the number of such nodes, never
  // kept per program unit.
  std::vector<TNodeSlot> fNodeSlots;
  uint32_t fNodeMask = 0;
  int fNodeShift = 32;
  std::vector<TSetBits> fSetBits;
  std::vector<std::pair<char16_t, char16_t>> fWideRuns;
  std::vector<TAltRecord> fAlts;
  std::vector<TRepeatRecord> fRepeats;
  int32_t fLastRepeatNode = 0; // RepeatRecordOf: fRepeats[fLastRepeat] is its record
  int32_t fLastRepeat = 0;
  // Units a match can start with (65536 bits), when every match consumes
  // one and the program tells which; empty when unknown. The filters of
  // the alternatives and the required unit's case forms are made with it,
  // before a search: they depend on the class characters and the case
  // inversion.
  std::vector<uint64_t> fFirstUnits;
  bool fFirstUnitsReady = false;
  // The same units as at most MaxFirstRanges ranges fFirstLo[k] to
  // fFirstLo[k] + fFirstSpan[k] (fFirstRanges 0: more, or none), for a
  // scan of several units at once.
  static constexpr int MaxFirstRanges = 4;
  int fFirstRanges = 0;
  char16_t fFirstLo[MaxFirstRanges] = {};
  char16_t fFirstSpan[MaxFirstRanges] = {};
  // A unit every match contains (0: none known), compared ignoring case
  // when fReqCI; fReqUnits holds it and its inverted case. fReqLast is its
  // last occurrence in the current subject (nullptr: none), once
  // fReqLastKnown: no match starts after it.
  char16_t fReqUnit = 0;
  bool fReqCI = false;
  char16_t fReqUnits[2] = {0, 0};
  bool fReqLastKnown = false;
  const char16_t* fReqLast = nullptr;

  // The last run of units a simple repeat counted (RegRepeat): node
  // fRunNode (0: none) matches every unit from fRunFrom up to fRunTo and
  // not the one there (or the subject ends there). A count from inside the
  // run needs no second look; it holds for one subject and one set of
  // class characters.
  int32_t fRunNode = 0;
  const char16_t* fRunFrom = nullptr;
  const char16_t* fRunTo = nullptr;
  // The simple repeat every attempt starts with, after zero-width nodes
  // that offer no choice (0: none), and the last start that an attempt's
  // failure there showed to fail as well (nullptr: none).
  int32_t fLeadRepeat = 0;
  // When the pattern is one case-sensitive literal and nothing else: its
  // operand in the program (0: not so) and length.
  int32_t fLiteral = 0;
  int32_t fLiteralLength = 0;
  const char16_t* fAttemptStart = nullptr;
  const char16_t* fSkipThrough = nullptr;

  // ---- Guards -------------------------------------------------------------------
  int64_t fStepLimit = DefaultStepLimit;
  int64_t fStepsLeft = 0;
  int32_t fBacktrackLimit = DefaultBacktrackLimit;
  size_t fPushRoom = DefaultBacktrackLimit; // frames below the limit
  std::vector<TBacktrackFrame> fBacktrack;
};

} // namespace zarv
