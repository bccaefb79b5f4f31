// Vector-backed string list with change events.
#include <ZarvMemo/platform/StringList.h>

namespace zarv {

TStringList::TStringList(const QStringList& items) {
  CheckGrowth(0, items.size());
  fItems.reserve(static_cast<size_t>(items.size()));
  for (const QString& s : items)
    fItems.push_back({s, nullptr});
}

void TStringList::changing() {
  if (UpdateCount() == 0 && OnChanging)
    OnChanging(*this);
}

void TStringList::changed() {
  if (UpdateCount() > 0)
    fChangedInUpdate = true;
  else if (OnChange)
    OnChange(*this);
}

void TStringList::SetUpdateState(bool updating) {
  if (updating) {
    if (OnChanging)
      OnChanging(*this);
    fChangedInUpdate = false;
  } else if (fChangedInUpdate) {
    fChangedInUpdate = false;
    if (OnChange)
      OnChange(*this);
  }
}

QString TStringList::Get(int32_t index) const {
  CheckIndex(index);
  return fItems[static_cast<size_t>(index)].s;
}

void TStringList::Insert(int32_t index, const QString& s) {
  CheckIndex(index, true);
  CheckGrowth(GetCount(), 1);
  changing();
  fItems.insert(fItems.begin() + index, Item{s, nullptr});
  changed();
}

void TStringList::Delete(int32_t index) {
  CheckIndex(index);
  changing();
  fItems.erase(fItems.begin() + index);
  changed();
}

void TStringList::Clear() {
  if (fItems.empty())
    return;
  changing();
  fItems.clear();
  changed();
}

void TStringList::Put(int32_t index, const QString& s) {
  CheckIndex(index);
  changing();
  fItems[static_cast<size_t>(index)].s = s;
  changed();
}

void* TStringList::GetObject(int32_t index) const {
  CheckIndex(index);
  return fItems[static_cast<size_t>(index)].object;
}

void TStringList::PutObject(int32_t index, void* object) {
  CheckIndex(index);
  changing();
  fItems[static_cast<size_t>(index)].object = object;
  changed();
}

} // namespace zarv
