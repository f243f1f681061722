// The tester's side of the exchange as a state machine without any I/O: it is given each
// received command byte and says what goes back on the line. Not thread-safe.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive_source.h"

// Faults to simulate; record numbers count from 1, 0 means "never".
struct TSimFaults {
  unsigned SpoilRecord = 0;   // record K goes out with a wrong checksum (the first time only)
  unsigned SilentBefore = 0;  // instead of record K the tester stops answering for good
  unsigned HangUpBefore = 0;  // instead of record K the line is closed
  bool Empty = false;         // the header announces no records
  bool EmptyFirst = false;    // the first header announces no records, later ones all
  unsigned LongRecord = 0;    // record K goes out with a byte too many in front (the first time)
  bool RejectHeader = false;  // the header's byte 1 is 1
  bool Noise = false;         // a few stray bytes go before every frame
  // Out of step with the reader, each once; afterwards the tester answers as it should.
  bool RepeatHeader = false;   // the first "n" is answered with the header again
  unsigned RepeatRecord = 0;   // record K goes out again instead of record K + 1
  unsigned JoinRecords = 0;    // records K and K + 1 go out together for one command
  unsigned ChatterBefore = 0;  // instead of record K, one byte every 5 ms until the next "Z"
};

struct TSimReply {
  std::string Bytes;      // what goes back on the line
  bool HangUp = false;    // close the line now
  bool Finished = false;  // the reader acknowledged the last record
  std::string Note;       // what happened, for the log; empty for a byte that is ignored
  unsigned Record = 0;    // the number of the record sent, if one was
};

class TSimTester {
 public:
  TSimTester(std::vector<TSimRecord> records, TSimHeader header, TSimFaults faults,
             uint64_t noise_seed = 1);

  // One received byte; `at_own_baud` tells whether the line runs at the tester's own rate
  // (otherwise the byte arrives garbled and is not understood).
  TSimReply Receive(uint8_t command, bool at_own_baud);

  size_t RecordCount() const { return header_.Count; }
  bool Silent() const { return stage_ == Stage::Silent; }
  // While chattering the line wants ChatterByte() every 5 ms.
  bool Chattering() const { return stage_ == Stage::Chatter; }
  char ChatterByte();

 private:
  enum class Stage { Idle, Reading, Silent, Chatter };
  TSimReply SendRecord(size_t index);
  std::string Noise();

  std::vector<TSimRecord> records_;
  TSimHeader header_;
  TSimFaults faults_;
  uint64_t noise_state_;
  Stage stage_ = Stage::Idle;
  size_t next_ = 0;  // index of the record that the next "O" asks for
  bool spoiled_ = false, lengthened_ = false, emptiedOnce_ = false;
  size_t announced_ = 0;  // what the last header told
  bool headerRepeated_ = false, recordRepeated_ = false, joined_ = false, chattered_ = false;
  unsigned chatter_ = 0;
};
