#include "serial/srclasses.h"

void TsrCustomLogFile::DoFatalError(std::uint32_t Code, std::uint32_t Detail,
                                    const std::string& Msg) {
  bool raise = true;
  if (OnFatalError) OnFatalError(this, Code, Detail, Msg, raise);
  if (raise) throw ESerialError(Msg);
}

void TsrCustomLogFile::AddLogFormat(TDetailLevel l, const char* format, ...) {
  va_list args;
  va_start(args, format);
  AddLogFmt(l, format, args);
  va_end(args);
}
