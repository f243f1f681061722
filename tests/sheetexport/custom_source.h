// A table answered through the engine's custom-pipe events, walkable any number of times.
#pragma once

#include <string>
#include <vector>

#include "sheetexport/sx_excel_export.h"

struct CustomField {
  std::string Name;
  TFieldType Type = ftInteger;
  std::string Title;
  int Decimals = 0;
  bool Visible = true;
  int DisplayWidth = 0;
};

struct CustomSource {
  std::vector<CustomField> Fields;
  std::vector<std::vector<TVariant>> Rows;
  std::size_t Pos = 0;
  std::vector<int> ValueRequests;  // field indexes asked for values
  std::vector<int> RecordNumbers;  // OnExportRecords arguments

  void Attach(TsxExcelExport& x) {
    x.SetDataPipe(dpCustom);
    x.OnGetFieldCount = [this](TsxExcelExport&, int& n) { n = static_cast<int>(Fields.size()); };
    x.OnGetFieldName = [this](TsxExcelExport&, int i, std::string& s) { s = Fields[i].Name; };
    x.OnGetFieldDisplayName = [this](TsxExcelExport&, int i, std::string& s) {
      s = Fields[i].Title;
    };
    x.OnGetFieldDataType = [this](TsxExcelExport&, int i, TFieldType& t) { t = Fields[i].Type; };
    x.OnGetFieldDecSize = [this](TsxExcelExport&, int i, int& d) {
      if (Fields[i].Decimals) d = Fields[i].Decimals;
    };
    x.OnGetFieldVisible = [this](TsxExcelExport&, int i, bool& v) { v = Fields[i].Visible; };
    x.OnGetFieldDisplayWidth = [this](TsxExcelExport&, int i, int& w) {
      w = Fields[i].DisplayWidth;
    };
    x.OnGotoFirstRecord = [this](TsxExcelExport&) { Pos = 0; };
    x.OnGotoNextRecord = [this](TsxExcelExport&) { ++Pos; };
    x.OnGetEOF = [this](TsxExcelExport&, bool& eof) { eof = Pos >= Rows.size(); };
    x.OnGetFieldValue = [this](TsxExcelExport&, int i, TVariant& v) {
      ValueRequests.push_back(i);
      if (Pos < Rows.size() && static_cast<std::size_t>(i) < Rows[Pos].size()) v = Rows[Pos][i];
    };
    x.OnExportRecords = [this](TsxExcelExport&, int n) { RecordNumbers.push_back(n); };
  }
};
