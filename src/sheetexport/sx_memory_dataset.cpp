#include "sheetexport/sx_memory_dataset.h"

#include <algorithm>
#include <cctype>

#include "sheetexport/sx_variant_text.h"

class TsxMemoryDataSet::Field : public TsxField {
 public:
  Field(TsxMemoryDataSet& owner, int index, TsxFieldDef def)
      : owner_(owner), index_(index), def_(std::move(def)) {}
  int Index() const override { return index_; }
  std::string FieldName() const override { return def_.Name; }
  std::string DisplayLabel() const override { return def_.DisplayLabel; }
  bool Visible() const override { return def_.Visible; }
  TFieldType DataType() const override { return def_.DataType; }
  int Size() const override { return def_.Size; }
  int DisplayWidth() const override { return def_.DisplayWidth; }
  std::string DisplayFormat() const override { return def_.DisplayFormat; }
  bool HasGetTextHandler() const override { return static_cast<bool>(def_.OnGetText); }
  TVariant Value() const override { return owner_.CurrentValue(index_); }
  std::string AsString() const override { return VarToStr(owner_.CurrentValue(index_)); }
  std::string DisplayText() const override {
    return def_.OnGetText ? def_.OnGetText(owner_.CurrentValue(index_)) : AsString();
  }

 private:
  TsxMemoryDataSet& owner_;
  int index_;
  TsxFieldDef def_;
};

TsxMemoryDataSet::TsxMemoryDataSet(std::string name) : name_(std::move(name)) {}
TsxMemoryDataSet::~TsxMemoryDataSet() = default;

void TsxMemoryDataSet::AddField(TsxFieldDef def) {
  fields_.push_back(std::make_unique<Field>(*this, FieldCount(), std::move(def)));
  for (auto& row : rows_) row.resize(fields_.size());
}

void TsxMemoryDataSet::AppendRecord(std::vector<TVariant> values) {
  values.resize(fields_.size());
  rows_.push_back(std::move(values));
}

TsxField& TsxMemoryDataSet::Fields(int index) {
  return *fields_.at(index);
}

TsxField* TsxMemoryDataSet::FindField(const std::string& name) {
  const auto same = [&](const std::unique_ptr<Field>& f) {
    const std::string n = f->FieldName();
    return std::equal(n.begin(), n.end(), name.begin(), name.end(), [](char a, char b) {
      return std::toupper(static_cast<unsigned char>(a)) ==
             std::toupper(static_cast<unsigned char>(b));
    });
  };
  const auto it = std::find_if(fields_.begin(), fields_.end(), same);
  return it == fields_.end() ? nullptr : it->get();
}

void TsxMemoryDataSet::Next() {
  if (pos_ < RecordCount()) ++pos_;
}

void TsxMemoryDataSet::EnableControls() {
  if (disabled_ > 0) --disabled_;
}

const TVariant& TsxMemoryDataSet::CurrentValue(int field) const {
  static const TVariant empty;
  if (pos_ < 0 || pos_ >= RecordCount()) return empty;
  return rows_[pos_][field];
}
