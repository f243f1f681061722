// A data set held in memory: field definitions and rows of values. Serves hosts whose records
// are not in a database, and the tests of the data-set pipe.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sheetexport/sx_dataset.h"

struct TsxFieldDef {
  std::string Name;
  TFieldType DataType = ftString;
  std::string DisplayLabel;
  bool Visible = true;
  int Size = 10;
  int DisplayWidth = 10;
  std::string DisplayFormat;
  // When set, gives the display text of a value.
  std::function<std::string(const TVariant&)> OnGetText;
};

class TsxMemoryDataSet : public TsxDataSet {
 public:
  explicit TsxMemoryDataSet(std::string name);
  ~TsxMemoryDataSet() override;

  void AddField(TsxFieldDef def);
  void AppendRecord(std::vector<TVariant> values);
  void Open() { active_ = true; }
  void Close() { active_ = false; }
  int RecordCount() const { return static_cast<int>(rows_.size()); }
  int RecNo() const { return pos_; }  // from 0
  int ControlsDisabled() const { return disabled_; }

  std::string Name() const override { return name_; }
  bool Active() const override { return active_; }
  int FieldCount() const override { return static_cast<int>(fields_.size()); }
  TsxField& Fields(int index) override;
  TsxField* FindField(const std::string& name) override;
  void First() override { pos_ = 0; }
  void Next() override;
  bool Eof() const override { return pos_ >= RecordCount(); }
  TBookmark GetBookmark() override { return pos_; }
  void GotoBookmark(TBookmark bookmark) override { pos_ = static_cast<int>(bookmark); }
  void FreeBookmark(TBookmark) override {}
  void DisableControls() override { ++disabled_; }
  void EnableControls() override;

  const TVariant& CurrentValue(int field) const;

 private:
  class Field;
  std::string name_;
  std::vector<std::unique_ptr<Field>> fields_;
  std::vector<std::vector<TVariant>> rows_;
  int pos_ = 0;
  int disabled_ = 0;
  bool active_ = false;
};
