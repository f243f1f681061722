// The members of Excel's objects that the fake knows, with their invoke kinds and argument
// counts as Excel's type library has them.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <string>

enum class Kind {
  App,
  Workbooks,
  Workbook,
  Worksheets,
  Sheet,
  Range,
  Font,
  Interior,
  Borders,
  Border,
  Outline,
  PageSetup,
  ChartObjects,
  ChartObject,
  Chart,
  ChartTitle,
  SeriesCollection,
  Series
};

constexpr WORD kGet = DISPATCH_PROPERTYGET;
constexpr WORD kPut = DISPATCH_PROPERTYPUT;
constexpr WORD kMethod = DISPATCH_METHOD;

struct Member {
  Kind kind;
  const char* name;
  WORD flags;
  int maxArgs;    // positional, a put's value not counted
  bool recorded;  // as the recording application records it
};

// The member of that object kind by that name; nullptr when Excel's object has none.
const Member* FindMember(Kind kind, const std::string& name);
