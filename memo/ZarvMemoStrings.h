// String views of an editor control's text: TZarvParaStrings (one item per
// paragraph) and TZarvLinesStrings (one item per display line, the
// control's Lines), on a common base that loads and saves the whole text
// with encodings and streams it as the form property "Strings".
//
// The views hold no text: every read goes to the control and every change
// goes through its selection operations, so edits made through a view are
// undoable and told to attached components like any other.
#pragma once

#include <ZarvMemo/platform/Strings.h>

namespace zarv {

class TZarvMemo;
class TFiler;
class TReader;
class TWriter;

class TZarvMemoStrings : public TStrings {
public:
  explicit TZarvMemoStrings(TZarvMemo& memo) : Memo(memo) {}

  // Copies another view's text (through UTF-16), or any list's items.
  void Assign(const TStrings& source) override;
  void Clear() override;
  QString GetTextStr() const override;
  void SetTextStr(const QString& text) override;
  // Loads the whole text through the control: its byte-order mark decides
  // the encoding when none is given (else valid UTF-8, else 8-bit); other
  // encodings than those the store reads go through UTF-16 in memory.
  void LoadFromStream(QIODevice& stream, std::optional<QStringConverter::Encoding> encoding = std::nullopt) override;
  // Saves in the encoding the text was loaded with (SaveToStream(stream)),
  // or the one given, which the control then keeps.
  void SaveToStream(QIODevice& stream) const override;
  void SaveToStream(QIODevice& stream, QStringConverter::Encoding encoding, bool writeBOM) const override;

  // The form property "Strings": the paragraphs as a list of strings,
  // written only when the text is not empty.
  void DefineProperties(TFiler& filer);
  void ReadData(TReader& reader);
  void WriteData(TWriter& writer) const;

protected:
  void SetUpdateState(bool updating) override;
  TZarvMemo& Memo;
};

// One item per paragraph; an empty last paragraph (a text ending with a
// break) is no item.
class TZarvParaStrings : public TZarvMemoStrings {
public:
  using TZarvMemoStrings::TZarvMemoStrings;
  QString Get(int32_t index) const override;
  int32_t GetCount() const override;
  void Put(int32_t index, const QString& s) override;
  void* GetObject(int32_t index) const override;
  void PutObject(int32_t index, void* object) override;
  int32_t Add(const QString& s) override;
  void Delete(int32_t index) override;
  void Insert(int32_t index, const QString& s) override;
};

// One item per display line (with word wrap, lines are formatted on the
// way to the one asked for); an empty last line is no item. Changes scroll
// the caret into view.
class TZarvLinesStrings : public TZarvMemoStrings {
public:
  using TZarvMemoStrings::TZarvMemoStrings;
  QString Get(int32_t index) const override;
  int32_t GetCount() const override;
  void Put(int32_t index, const QString& s) override;
  int32_t Add(const QString& s) override;
  void Delete(int32_t index) override;
  void Insert(int32_t index, const QString& s) override;
};

} // namespace zarv
