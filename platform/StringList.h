// A string list that keeps its own items.
//
// TStringList is the plain TStrings: a vector of strings with their object
// pointers (not owned). It is what callers hand to operations that fill or
// read a list, such as the ini-strings forms of the key lists. Changes raise
// OnChanging before and OnChange after; inside an update bracket they are
// held back and OnChange is raised once when the bracket closes.
#pragma once

#include <ZarvMemo/platform/Strings.h>

#include <functional>
#include <vector>

namespace zarv {

class TStringList : public TStrings {
public:
  TStringList() = default;
  explicit TStringList(const QStringList& items);

  QString Get(int32_t index) const override;
  int32_t GetCount() const override { return static_cast<int32_t>(fItems.size()); }
  void Insert(int32_t index, const QString& s) override;
  void Delete(int32_t index) override;
  void Clear() override;
  void Put(int32_t index, const QString& s) override;
  void* GetObject(int32_t index) const override;
  void PutObject(int32_t index, void* object) override;

  std::function<void(TStringList& Sender)> OnChanging;
  std::function<void(TStringList& Sender)> OnChange;

protected:
  void SetUpdateState(bool updating) override;

private:
  struct Item {
    QString s;
    void* object = nullptr;
  };
  void changing();
  void changed();

  std::vector<Item> fItems;
  bool fChangedInUpdate = false;
};

} // namespace zarv
