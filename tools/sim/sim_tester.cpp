#include "sim_tester.h"

#include "frame.h"

TSimTester::TSimTester(std::vector<TSimRecord> records, TSimHeader header, TSimFaults faults,
                       uint64_t noise_seed)
    : records_(std::move(records)), header_(header), faults_(faults), noise_state_(noise_seed) {
  if (records_.size() > kSimMaxRecords) records_.resize(kSimMaxRecords);
  header_.Count = faults_.Empty ? 0 : static_cast<uint16_t>(records_.size());
  header_.Rejected = faults_.RejectHeader;
  announced_ = header_.Count;
}

TSimReply TSimTester::Receive(uint8_t command, bool at_own_baud) {
  if (stage_ == Stage::Silent) return {};
  if (stage_ == Stage::Chatter) {
    if (command != 'Z' || !at_own_baud) return {};
    stage_ = Stage::Idle;
    return {"Z", false, false, "'Z': chatter ends, answered 'Z'"};
  }
  if (!at_own_baud) {
    TSimReply r;
    if (command == 'Z' || command == 'V' || command == 'n' || command == 'O')
      r.Note = std::string("'") + static_cast<char>(command) + "' at a foreign rate: no answer";
    return r;
  }
  switch (command) {
    case 'Z':
      return {"Z", false, false, "'Z': answered 'Z'"};
    case 'V': {
      stage_ = Stage::Idle;
      TSimHeader header = header_;
      if (faults_.EmptyFirst && !emptiedOnce_) header.Count = 0;
      emptiedOnce_ = emptiedOnce_ || faults_.EmptyFirst;
      announced_ = header.Count;
      TSimReply r;
      r.Bytes = Noise() + EncodeFrame(EncodeHeader(header));
      r.Note = "'V': header sent (" + std::to_string(header.Count) + " records" +
               (header.Rejected ? ", rejected mark" : "") + ")";
      return r;
    }
    case 'n':
      if (announced_ == 0) return {"", false, false, "'n': no records to send"};
      stage_ = Stage::Reading;
      if (faults_.RepeatHeader && !headerRepeated_) {
        headerRepeated_ = true;
        next_ = 0;
        return {EncodeFrame(EncodeHeader(header_)), false, false,
                "'n': the header sent again instead of record 1"};
      }
      return SendRecord(0);
    case 'O':
      if (stage_ != Stage::Reading) return {"", false, false, "'O' outside a reading: ignored"};
      if (next_ < header_.Count) return SendRecord(next_);
      stage_ = Stage::Idle;
      return {"", false, true, "'O' after the last record: reading complete"};
    default:
      return {};
  }
}

TSimReply TSimTester::SendRecord(size_t index) {
  const unsigned number = static_cast<unsigned>(index + 1);
  TSimReply r;
  if (number == faults_.SilentBefore) {
    stage_ = Stage::Silent;
    r.Note = "falling silent before record " + std::to_string(number);
    return r;
  }
  if (number == faults_.HangUpBefore) {
    r.HangUp = true;
    r.Note = "hanging up before record " + std::to_string(number);
    return r;
  }
  if (number == faults_.ChatterBefore && !chattered_) {
    chattered_ = true;
    stage_ = Stage::Chatter;
    r.Note = "chattering instead of record " + std::to_string(number);
    return r;
  }
  if (faults_.RepeatRecord > 0 && number == faults_.RepeatRecord + 1 && !recordRepeated_) {
    recordRepeated_ = true;
    r.Bytes = Noise() + EncodeFrame(records_[index - 1]);
    next_ = index;
    r.Record = number - 1;
    r.Note = "record " + std::to_string(number - 1) + " sent again instead of record " +
             std::to_string(number);
    return r;
  }
  const bool spoil = number == faults_.SpoilRecord && !spoiled_;
  spoiled_ = spoiled_ || spoil;
  const bool lengthen = number == faults_.LongRecord && !lengthened_;
  lengthened_ = lengthened_ || lengthen;
  if (lengthen) {
    std::vector<uint8_t> longer(records_[index].begin(), records_[index].end());
    longer.insert(longer.begin(), 0x37);
    r.Bytes = Noise() + EncodeFrame(longer);
  } else {
    r.Bytes = Noise() + EncodeFrame(records_[index], spoil ? 1 : 0);
  }
  next_ = index + 1;
  if (number == faults_.JoinRecords && next_ < header_.Count && !joined_) {
    joined_ = true;
    r.Bytes += EncodeFrame(records_[next_++]);
    r.Record = number + 1;
    r.Note = "records " + std::to_string(number) + " and " + std::to_string(number + 1) +
             " sent together";
    return r;
  }
  r.Record = number;
  r.Note = "record " + std::to_string(number) + "/" + std::to_string(header_.Count) + " sent" +
           (spoil ? " with a spoiled checksum" : "") + (lengthen ? " a byte too long" : "");
  return r;
}

char TSimTester::ChatterByte() {
  // Nibble characters, as inside a frame: never a marker nor the idle answer.
  return static_cast<char>('0' + chatter_++ % 16);
}

std::string TSimTester::Noise() {
  if (!faults_.Noise) return {};
  // Line garbage that a reader must skip: never a marker nor the idle answer.
  static constexpr char kGarbage[] = "\r\n\x00\x7F\xFF#.-~0123?";
  noise_state_ = noise_state_ * 6364136223846793005ull + 1442695040888963407ull;
  const unsigned length = 1 + static_cast<unsigned>((noise_state_ >> 33) % 8);
  std::string noise;
  for (unsigned i = 0; i < length; ++i) {
    noise_state_ = noise_state_ * 6364136223846793005ull + 1442695040888963407ull;
    noise.push_back(kGarbage[(noise_state_ >> 33) % (sizeof(kGarbage) - 1)]);
  }
  return noise;
}
