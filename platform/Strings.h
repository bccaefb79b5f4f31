// The abstract string list.
//
// TStrings is the common face of every list of strings in the library: the
// editor's line and paragraph views, the keyword list, plain string lists.
// A descendant supplies storage through Get, GetCount, Insert, Delete and
// Clear; everything else (adding, assigning, whole-text access, loading and
// saving with an encoding, the nesting update bracket) is built here on top
// of those, so that every list behaves alike.
//
// Each item may carry an object pointer (void*, never owned by the list),
// matching the paragraph store's per-paragraph pointer. Lists that keep no
// objects report nullptr and ignore PutObject.
//
// Update bracket: BeginUpdate/EndUpdate nest; SetUpdateState(true) is called
// when the outermost BeginUpdate opens it and SetUpdateState(false) when the
// outermost EndUpdate closes it, which is where a descendant rebuilds derived
// data or notifies once for a batch of changes. TStrings::UpdateLock pairs
// them so the bracket closes also when an exception passes.
#pragma once

#include <QString>
#include <QStringConverter>
#include <QStringList>
#include <cstdint>
#include <optional>

class QIODevice;

namespace zarv {

class TStrings {
public:
  TStrings() = default;
  virtual ~TStrings();
  // Lists are identities (views, owners of entries); copy with Assign.
  TStrings(const TStrings&) = delete;
  TStrings& operator=(const TStrings&) = delete;

  // Indexes and counts are 32-bit: a list holds at most INT32_MAX items.
  // Raises EListError when `count` items cannot take `added` more;
  // descendants check before they grow.
  static void CheckGrowth(qint64 count, qint64 added);

  // ---- Storage supplied by descendants ---------------------------------------
  virtual QString Get(int32_t index) const = 0;
  virtual int32_t GetCount() const = 0;
  virtual void Insert(int32_t index, const QString& s) = 0;
  virtual void Delete(int32_t index) = 0;
  virtual void Clear() = 0;

  // ---- Built on the above, overridable ----------------------------------------
  // Replaces item index; the default keeps its object (delete + insert).
  virtual void Put(int32_t index, const QString& s);
  virtual void* GetObject(int32_t index) const;
  virtual void PutObject(int32_t index, void* object);
  // Appends; returns the new item's index.
  virtual int32_t Add(const QString& s);
  int32_t AddObject(const QString& s, void* object);
  void InsertObject(int32_t index, const QString& s, void* object);
  void AddStrings(const TStrings& source);
  void AddStrings(const QStringList& source);
  // Copies the strings and objects of source (nothing when source is this).
  virtual void Assign(const TStrings& source);
  // First item equal to s ignoring case, or -1.
  virtual int32_t IndexOf(const QString& s) const;
  // Both keep each item's object with its string.
  virtual void Move(int32_t from, int32_t to);
  virtual void Exchange(int32_t a, int32_t b);

  int32_t Count() const { return GetCount(); }
  QString operator[](int32_t index) const { return Get(index); }
  QStringList ToStringList() const;

  // ---- Whole text ---------------------------------------------------------------
  // Every item followed by LineBreak (CR LF unless changed).
  virtual QString GetTextStr() const;
  // Replaces the items by the lines of text; CR LF, CR and LF each break
  // once, and a break at the very end adds no empty item.
  virtual void SetTextStr(const QString& text);
  QString Text() const { return GetTextStr(); }
  void SetText(const QString& text) { SetTextStr(text); }
  QString LineBreak = QStringLiteral("\r\n");

  // ---- Streams and files ----------------------------------------------------------
  // Reads the rest of the device as text in `encoding`, or, when none is
  // given, in the encoding of its byte-order mark (UTF-8 without one). A
  // given encoding looks only for its own mark (FF FE 00 00 is a UTF-16LE
  // mark and U+0000 when UTF-16LE is given); Utf16 and Utf32 take their byte
  // order from the mark. The encoding and whether a mark was there are
  // remembered for saving.
  virtual void LoadFromStream(QIODevice& stream, std::optional<QStringConverter::Encoding> encoding = std::nullopt);
  // Writes the text in the encoding the list was loaded with (UTF-8 for a
  // list never loaded), with a byte-order mark when the loaded text had one.
  virtual void SaveToStream(QIODevice& stream) const;
  virtual void SaveToStream(QIODevice& stream, QStringConverter::Encoding encoding, bool writeBOM) const;
  void LoadFromFile(const QString& fileName, std::optional<QStringConverter::Encoding> encoding = std::nullopt);
  void SaveToFile(const QString& fileName) const;

  QStringConverter::Encoding Encoding() const { return fEncoding; }
  bool HadBOM() const { return fHadBOM; }

  // ---- Update bracket -------------------------------------------------------------
  void BeginUpdate();
  void EndUpdate();
  int32_t UpdateCount() const { return fUpdateCount; }

  // Holds the update bracket open for its lifetime.
  class UpdateLock {
  public:
    explicit UpdateLock(TStrings& list) : fList(list) { fList.BeginUpdate(); }
    ~UpdateLock() { fList.EndUpdate(); }
    UpdateLock(const UpdateLock&) = delete;
    UpdateLock& operator=(const UpdateLock&) = delete;

  private:
    TStrings& fList;
  };

protected:
  // Called with true when the outermost bracket opens, false when it closes.
  virtual void SetUpdateState(bool updating);
  // ERangeError unless 0 <= index < GetCount() (or <= with allowEnd).
  void CheckIndex(int32_t index, bool allowEnd = false) const;

private:
  int32_t fUpdateCount = 0;
  QStringConverter::Encoding fEncoding = QStringConverter::Utf8;
  bool fHadBOM = false;
};

} // namespace zarv
