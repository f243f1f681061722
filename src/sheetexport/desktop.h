// The desktop around the built-in workbook: the folder where the user keeps documents, and
// opening a file in the desktop's program for its type.
#pragma once

#include <functional>
#include <memory>
#include <string>

class TDesktop {
 public:
  virtual ~TDesktop() = default;
  // The user's documents folder (UTF-8), created when missing; empty when there is none.
  virtual std::string DocumentsFolder() = 0;
  // Starts opening the file and returns at once, never waiting for the opener or the program it
  // starts; false when nothing could be started. notOpened runs later, on the main thread, when
  // the opener reports that nothing opened the file.
  virtual bool OpenFile(const std::string& file, std::function<void()> notOpened) = 0;
};

// The system's shell; a late report of the opener reaches the main thread through its
// dispatcher (and is dropped while there is none).
std::unique_ptr<TDesktop> CreateSystemDesktop();
