// The link part of the main window: the receive buffer, the link flags and the question-and-answer
// exchange with the tester that fills the archive. The window derives from it and supplies the
// sending of a command, the window states, the information dialog and the elements it updates.
// Main thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/datetime.h"
#include "mainwindow/archive.h"
#include "ui/elements.h"

enum TSessionPhase { phStopped, phSearching, phReading, phComplete };

class TMainLink {
 public:
  static constexpr char ChIdle = 'Z';
  static constexpr char ChHeader = 'V';
  static constexpr char ChStart = 'n';
  static constexpr char ChAck = 'O';
  static constexpr std::size_t RxBufSize = 65536;

  virtual ~TMainLink() = default;

  // The serial component's after-receive event: one chunk of Received bytes.
  void srComm1AfterReceive(TObject* Com, const std::uint8_t* Buffer, std::uint32_t Received);

  // Checks the frame in data[0..capacity) and decodes it in place; the number of decoded bytes,
  // 0 for a bad frame.
  static std::size_t CheckPack(std::uint8_t* data, std::size_t capacity);
  // Index of the first byte equal to value, capacity when there is none.
  static std::size_t ByteSearch(const std::uint8_t* data, std::size_t capacity, std::uint8_t value);
  static std::uint8_t PackByte(const std::uint8_t* data, std::size_t pos);
  static std::uint16_t PackWord(const std::uint8_t* data, std::size_t pos);
  static std::uint32_t PackDWord(const std::uint8_t* data, std::size_t pos);
  // The calendar date (data[pos] + 2000, data[pos+1], data[pos+2]); 1 January 2000 if none such.
  static TDateTime PackDate(const std::uint8_t* data, std::size_t pos);

  // Interprets the decoded header in RxBuf: DevValid tells whether it was accepted with at least
  // one record. An empty archive is reported to the user here.
  void DevConnect();
  void ClearCom();
  void ClearDev();
  // After a device change an empty archive is worth a message again, on any port.
  void ForgetEmptyArchive() { emptyReported_.clear(); }

  TArchive Archive;
  std::uint8_t RxBuf[RxBufSize] = {};
  std::size_t RxLen = 0;
  // Bytes of the current frame did not fit in RxBuf: the frame is bad.
  bool RxOverflow = false;
  char Pending = ChIdle;
  bool SeenEnd = false;
  bool SeenIdle = false;
  // A frame was completed since the watchdog last looked; bytes alone do not count, so a line
  // that chatters without ever ending a frame does not keep a reading alive.
  bool RxActivity = false;
  bool DevValid = false;
  TSessionPhase SessionPhase = phStopped;
  // What the last accepted header told about the tester: its date and two values kept as they are.
  TDateTime DevDate{};
  std::uint16_t DevValue5 = 0;
  std::uint16_t DevValue7 = 0;

 protected:
  // Sends one command byte; may throw, the handler absorbs it.
  virtual void SendCommand(char ch) = 0;
  virtual void SetStateWait() = 0;
  virtual void SetStateDataReady() = 0;
  // The last record is in: the reading is kept before the window shows it.
  virtual void KeepReading() = 0;
  virtual void ShowInfo(const std::string& text, const std::string& wcaption,
                        const std::string& sound) = 0;
  // The port the exchange runs on; an empty archive is reported once per port.
  virtual std::string LinkPort() = 0;

  // Set by the window; not owned.
  TLabel* L_State = nullptr;
  TProgressBar* PB_Data = nullptr;
  TTimer* Timer_CheckWork = nullptr;
  TTimer* Timer_DeviceRefresh = nullptr;

 private:
  void Send(char ch);
  void StopTimers();
  void ResetFrame();
  void HandleHeader();
  void HandleRecord();
  bool OutOfStep(std::size_t count) const;
  void BadData();
  std::string caption_ = std::string(64, ' ');
  std::string emptyReported_;  // the port whose empty archive was reported, if any
};
