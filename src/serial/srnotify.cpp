// The notify list and the destruction notices.
#include <algorithm>

#include "serial/srclasses.h"

void TsrFreeNotices::Add(TsrNoticeReceiver* r) {
  if (r && std::find(receivers_.begin(), receivers_.end(), r) == receivers_.end())
    receivers_.push_back(r);
}
void TsrFreeNotices::Remove(TsrNoticeReceiver* r) {
  receivers_.erase(std::remove(receivers_.begin(), receivers_.end(), r), receivers_.end());
}
void TsrFreeNotices::Announce(TObject* self) {
  std::vector<TsrNoticeReceiver*> told;
  told.swap(receivers_);
  for (TsrNoticeReceiver* r : told) r->Notification(self);
}

int TsrNotifyList::Add(const TsrNotifyEvent& item) {
  items_.push_back(std::make_unique<TsrNotifyEvent>(item));
  return Count() - 1;
}

void TsrNotifyList::Delete(int index) {
  if (index >= 0 && index < Count()) items_.erase(items_.begin() + index);
}

int TsrNotifyList::IndexOf(const TsrNotifyEvent& item) const {
  for (int i = 0; i < Count(); ++i)
    if (items_[static_cast<std::size_t>(i)]->Code == item.Code) return i;
  return -1;
}

void TsrNotifyList::Call(TObject* sender, std::int32_t code) {
  const int n = Count();
  for (int i = 0; i < n && i < Count(); ++i) {
    TsrNotifyEvent e = *items_[static_cast<std::size_t>(i)];
    if (e.Code) e.Code(e.Data, sender, code);
  }
}
