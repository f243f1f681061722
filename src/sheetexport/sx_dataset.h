// The data set that the data-set pipe reads: fields with their presentation, typed values of
// the current record, a cursor with bookmarks, and the pausing of whatever displays it.
#pragma once

#include <cstdint>
#include <string>

#include "base/field_type.h"
#include "base/variant.h"

class TsxField {
 public:
  virtual ~TsxField() = default;
  virtual int Index() const = 0;  // in the data set, from 0
  virtual std::string FieldName() const = 0;
  virtual std::string DisplayLabel() const = 0;  // empty when none is set
  virtual bool Visible() const = 0;
  virtual TFieldType DataType() const = 0;
  virtual int Size() const = 0;
  virtual int DisplayWidth() const = 0;
  virtual std::string DisplayFormat() const = 0;  // empty when none is set
  // Whether the host formats this field's display text itself.
  virtual bool HasGetTextHandler() const = 0;
  // The current record's native value, its raw text and its display text.
  virtual TVariant Value() const = 0;
  virtual std::string AsString() const = 0;
  virtual std::string DisplayText() const = 0;
};

class TsxDataSet {
 public:
  using TBookmark = std::int64_t;

  virtual ~TsxDataSet() = default;
  virtual std::string Name() const = 0;
  virtual bool Active() const = 0;
  virtual int FieldCount() const = 0;
  virtual TsxField& Fields(int index) = 0;
  virtual TsxField* FindField(const std::string& name) = 0;  // ignores letter case
  virtual void First() = 0;
  virtual void Next() = 0;
  virtual bool Eof() const = 0;
  virtual TBookmark GetBookmark() = 0;
  virtual void GotoBookmark(TBookmark bookmark) = 0;
  virtual void FreeBookmark(TBookmark bookmark) = 0;
  virtual void DisableControls() = 0;
  virtual void EnableControls() = 0;
};
