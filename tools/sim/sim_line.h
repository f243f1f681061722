// The simulator's end of a pseudo-terminal, and the stop request from Ctrl-C or SIGTERM.
// Used from one thread only; the signal handlers only wake the waits.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

class TSimLine {
 public:
  enum class TWait { Data, Stop, Closed, Timeout };
  virtual ~TSimLine() = default;
  // The device that the reader opens, e.g. /dev/pts/3.
  virtual std::string DevicePath() const = 0;
  // Waits for received bytes (appended to `out`) or a stop request, at most `timeout` when one
  // is given.
  virtual TWait Read(std::string& out,
                     std::optional<std::chrono::milliseconds> timeout = std::nullopt) = 0;
  // The baud rate the reader has set on the line; 0 when it is none of the usual ones.
  virtual unsigned BaudRate() const = 0;
  // Sends, pausing `per_byte` after each byte; false when a stop request came first.
  virtual bool Write(const std::string& bytes, std::chrono::microseconds per_byte) = 0;
  // Closes the line so that the reader sees a hang-up.
  virtual void HangUp() = 0;
};

// Opens a pseudo-terminal in raw mode and installs the stop handlers; throws EOSError.
std::unique_ptr<TSimLine> OpenSimLine();
