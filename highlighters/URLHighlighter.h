// TURLHighlighter: web, e-mail, news, file and other addresses in any text.
//
// Recognition works on one paragraph at a time. An address begins at one of
// the sixteen entries of Entries() ("http://", "www.", "mailto:", "@", ...,
// compared without case): a word-initial entry must stand at the paragraph
// start or after a URL separator, an "@" after a character that is not one
// (the address then starts after the separator before it). Every entry must
// be followed by a character that is not a separator. The address runs to
// the next separator (tab, space, quotes, parentheses, angle brackets) and
// gives back trailing ",", "." and ";" as prose punctuation. Its run takes
// the look of its kind, the context number BaseContext + entry and the key
// number Base + entry; its cursor is the pointing hand.
//
// Where an address may be styled: unless Priority is set, not over text
// that already carries codes, and only where the context in force equals
// Scope (OnURL, when set, decides instead). With Priority, an address
// covers keyword runs but is cut where a range ends or opens inside it.
//
// Opening: a click (with LaunchModifiers held) or, with DblClickLaunch, a
// double click on an address in a control this highlighter serves opens it
// through Opener (QDesktopServices::openUrl by default). Only http, https,
// ftp, mailto, news and nntp addresses open on their own; any other scheme
// (file: among them) opens only when OnURLLaunch approves it.
//
// Cost: one pass over the paragraph. A refused candidate skips the rest of
// its word, since every entry inside the same word yields the same address
// (no O(word^2) on "a@a@a..."). An address longer than 65535 characters is
// styled over its first 65535; the rest of its word starts nothing.
//
// Invariants: fServed holds exactly the live controls this highlighter
// entered as a listener; the destructor leaves each of them.
#pragma once

#include <ZarvMemo/highlighters/HighlightInfo.h>
#include <ZarvMemo/support/highlight/Highlighter.h>
#include <ZarvMemo/support/highlight/RunMerge.h>

#include <QPointer>
#include <QString>
#include <QUrl>
#include <functional>
#include <vector>

namespace zarv {

class TZarvMemo;
class TParagraphsList;

class TURLHighlighter : public TZarvHighlighter {
  Q_OBJECT
  Q_PROPERTY(int BaseContext READ getBaseContext WRITE setBaseContext)
  Q_PROPERTY(bool LaunchURLs READ getLaunchURLs WRITE setLaunchURLs)
  Q_PROPERTY(bool DblClickLaunch READ getDblClickLaunch WRITE setDblClickLaunch)
  Q_PROPERTY(int Scope READ getScope WRITE setScope)
  Q_PROPERTY(bool Priority READ getPriority WRITE setPriority)

public:
  enum TURLType : uint8_t { urlWeb, urlEmail, urlNNTP, urlFile, urlOther };
  struct TEntry {
    const char16_t* Text; // upper case
    int32_t Len;
    TURLType Kind;
    bool WordInitial;
    const char16_t* LaunchPrefix; // put before the address text to open it
  };
  static constexpr int kEntryCount = 16;
  static constexpr int kAtEntry = 3;
  static constexpr int32_t kMaxURLLength = 65535;
  static constexpr int32_t kDefaultBaseContext = 1024;
  static const TEntry& Entries(int k);

  // An address found in a paragraph's text: [Start, Stop) and its entry.
  struct TFound {
    int32_t Start, Stop;
    int Entry;
    bool operator==(const TFound&) const = default;
  };
  // Every address of a text by the rules above, ignoring codes and context
  // (what the highlighter styles in plain text). `refuse`, when set, may
  // reject a candidate; the scan then skips the rest of its word.
  static void FindURLs(const char16_t* text, int32_t len, std::vector<TFound>& out,
                       const std::function<bool(const TFound&)>& refuse = {});
  static bool IsSeparator(char16_t c);
  // The text that opens an address found with entry k ("mailto:" before an
  // address found by "@", "http://" before "www.", ...).
  static QString LaunchText(int k, const QString& address);
  // Whether an address with this scheme opens without OnURLLaunch's word.
  static bool OpensUnasked(const QUrl& url);

  // CurrentContext is the context in force where the address begins; true
  // lets it be styled.
  using TURLEvent = std::function<bool(TURLHighlighter& Sender, int16_t CurrentContext, TURLType URLType)>;
  // Receives the text about to be opened and may change it; false keeps it
  // from opening, true also approves schemes that would not open unasked.
  using TURLLaunchEvent = std::function<bool(TURLHighlighter& Sender, QString& URL)>;

  explicit TURLHighlighter(QObject* parent = nullptr);
  ~TURLHighlighter() override;
  TURLHighlighter(const TURLHighlighter&) = delete;
  TURLHighlighter& operator=(const TURLHighlighter&) = delete;

  THighlightInfo* WebURL() const { return fInfo[urlWeb]; }
  THighlightInfo* EmailURL() const { return fInfo[urlEmail]; }
  THighlightInfo* NNTP_URL() const { return fInfo[urlNNTP]; }
  THighlightInfo* FileURL() const { return fInfo[urlFile]; }
  THighlightInfo* OtherURL() const { return fInfo[urlOther]; }
  THighlightInfo* Info(TURLType t) const { return fInfo[t]; }

  int getBaseContext() const { return fBaseContext; }
  void setBaseContext(int v);
  bool getLaunchURLs() const { return fLaunchURLs; }
  void setLaunchURLs(bool v) { fLaunchURLs = v; }
  bool getDblClickLaunch() const { return fDblClickLaunch; }
  void setDblClickLaunch(bool v) { fDblClickLaunch = v; }
  int getScope() const { return fScope; }
  void setScope(int v);
  bool getPriority() const { return fPriority; }
  void setPriority(bool v);
  // The keyboard modifiers a click must hold to open an address (none by
  // default; an editor that keeps plain clicks for the caret asks Ctrl).
  Qt::KeyboardModifiers LaunchModifiers = Qt::NoModifier;

  // Highlights again every control using this highlighter (a look, Scope
  // or Priority changed).
  void HighlightChange();

  // ---- The pass ---------------------------------------------------------------
  void ApplyKeywordsList(TZarvNavigator& StartNav, TZarvNavigator& StopNav, int32_t Base) override;
  // No start keys: a paragraph never needs a start search for this one.
  bool MayStartIn(const TZarvMemoHost&, const char16_t*, int32_t, int32_t) override { return false; }

  // ---- Opening ------------------------------------------------------------------
  void Notify(QObject* Sender, TzvEvents Events) override;
  // The address under position pos of the control (its launch text), or ''.
  QString URLAt(TZarvMemo& memo, int32_t pos) const;
  // Asks OnURLLaunch, applies the scheme rule, then opens through Opener.
  // Returns whether it was handed to the opener.
  bool LaunchURL(QString text);
  // Leaves memo's message list and drops a waiting address; returns
  // whether it was listening there.
  bool DeNotify(TZarvMemo* memo);
  // The controls this highlighter listens to.
  std::vector<TZarvMemo*> ServedControls() const;

  TURLEvent OnURL;
  TURLLaunchEvent OnURLLaunch;
  std::function<bool(const QUrl&)> Opener;

Q_SIGNALS:
  // An address was handed to the opener.
  void launched(const QUrl& url);

private:
  void paragraph(TZarvMemoHost& memo, int32_t p, int32_t base, bool& changed, bool& found);
  bool ownRun(const DynInfoRec& d, int32_t base, int32_t& len) const;
  bool styleable(const ParInfo& par, TFound& f, const DynInfoRec& inForce, DynInfoRec& restore, int32_t& restoreFrom);
  TRunToApply urlRun(const TFound& f, const DynInfoRec& inForce, const DynInfoRec& restore, int32_t restoreFrom,
                     int32_t base, bool restoreAtStop) const;
  void serve(TZarvMemoHost& memo);
  bool servesThroughChain(TZarvMemo& memo) const;

  THighlightInfo* fInfo[5];
  int32_t fBaseContext = kDefaultBaseContext;
  bool fLaunchURLs = true;
  bool fDblClickLaunch = false;
  int32_t fScope = 0;
  bool fPriority = false;
  struct TServed {
    QPointer<TZarvMemo> Memo;
    // The control as an object, to be told apart while it is destroyed
    // (its QPointer must not be read then: that casts a dying object).
    const QObject* Object = nullptr;
    QMetaObject::Connection Gone;
  };
  std::vector<TServed> fServed;
  // A double-click launch waits for the button's release.
  QPointer<TZarvMemo> fWaitingIn;
  QString fContextString;
  bool fDblClick = false;
};

} // namespace zarv
