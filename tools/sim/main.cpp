// quarrow-sim: a simulated Quarrow tester on a pseudo-terminal, announced as a virtual USB
// serial port so that the reader finds it exactly as it finds a real one.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "archive_source.h"
#include "base/datetime.h"
#include "base/exceptions.h"
#include "base/version.h"
#include "platform/desktop/virtual_ports.h"
#include "sim_line.h"
#include "sim_options.h"
#include "sim_tester.h"

namespace {

// A chattering line sends one byte this often.
constexpr std::chrono::milliseconds kChatterPause(5);

void Log(const std::string& text) {
  std::cerr << "quarrow-sim: " << text << std::endl;
}

// Every record is worth a line for short archives; long ones would drown the log.
bool WorthLogging(const TSimReply& reply, size_t record_count) {
  if (reply.Note.empty()) return false;
  if (record_count <= 100 || reply.Record == 0) return true;
  return reply.Record == 1 || reply.Record % 1000 == 0 || reply.Record == record_count;
}

// Withdraws the announcement on every way out, a failure included.
class TAnnouncement {
 public:
  TAnnouncement(std::filesystem::path folder, const TVirtualPort& port)
      : folder_(std::move(folder)), name_(port.Name) {
    AnnounceVirtualPort(folder_, port);
  }
  ~TAnnouncement() {
    WithdrawVirtualPort(folder_, name_);
    Log("announcement withdrawn");
  }
  TAnnouncement(const TAnnouncement&) = delete;
  TAnnouncement& operator=(const TAnnouncement&) = delete;

 private:
  std::filesystem::path folder_;
  std::string name_;
};

// Writes what the tester sends in one whole reading ("V", "n", then "O" until the last record)
// to a file, so that a reading can be replayed without a line.
int Capture(TSimTester& tester, const std::filesystem::path& file) {
  std::ofstream out(file, std::ios::binary);
  std::string bytes = tester.Receive('V', true).Bytes;
  TSimReply reply = tester.Receive('n', true);
  while (!reply.Bytes.empty() && !reply.HangUp) {
    bytes += reply.Bytes;
    reply = tester.Receive('O', true);
  }
  out << bytes;
  if (!out.flush()) throw Exception("Cannot write \"" + file.string() + "\"");
  Log("captured " + std::to_string(tester.RecordCount()) + " records, " +
      std::to_string(bytes.size()) + " bytes, to " + file.string());
  return 0;
}

int Run(const TSimOptions& o) {
  std::vector<TSimRecord> records =
      o.Archive.empty() ? GenerateArchive(o.Records, o.Seed, o.Singles) : LoadArchive(o.Archive);
  const TDateParts today = DecodeDateTime(Now());
  TSimHeader header;
  header.Year = today.Year;
  header.Month = today.Month;
  header.Day = today.Day;
  TSimTester tester(std::move(records), header, o.Faults, o.Seed);
  if (!o.Capture.empty()) return Capture(tester, o.Capture);

  std::unique_ptr<TSimLine> line = OpenSimLine();
  const std::filesystem::path folder = VirtualPortsFolder();
  TVirtualPort port;
  port.Name = o.Name;
  port.Link = folder / o.Name / "tty";
  port.Device = line->DevicePath();
  port.Service = "FTSER2K";
  port.Manufacturer = "FTDI";
  port.Description = "Quarrow tester simulator";
  const TAnnouncement announcement(folder, port);
  Log("announced \"" + port.Name + "\" at " + port.Link.string() + " -> " + port.Device.string() +
      "; " + std::to_string(tester.RecordCount()) + " records, " + std::to_string(o.Baud) +
      " baud");

  const std::chrono::microseconds per_byte(o.SlowLineMicros);
  int rc = 0;
  bool running = true;
  while (running) {
    std::string received;
    const TSimLine::TWait w =
        line->Read(received, tester.Chattering() ? std::optional(kChatterPause) : std::nullopt);
    if (w == TSimLine::TWait::Timeout) {
      if (!line->Write(std::string(1, tester.ChatterByte()), {})) {
        Log("stop requested");
        break;
      }
      continue;
    }
    if (w == TSimLine::TWait::Stop) {
      Log("stop requested");
      break;
    }
    if (w == TSimLine::TWait::Closed) {
      Log("the line closed");
      rc = 1;
      break;
    }
    const bool own_rate = line->BaudRate() == o.Baud;
    for (const char c : received) {
      const TSimReply reply = tester.Receive(static_cast<uint8_t>(c), own_rate);
      if (WorthLogging(reply, tester.RecordCount())) Log(reply.Note);
      if (reply.HangUp) {
        line->HangUp();
        running = false;
        break;
      }
      if (!reply.Bytes.empty() && !line->Write(reply.Bytes, per_byte)) {
        Log("stop requested");
        running = false;
        break;
      }
      if (reply.Finished && o.Once) {
        running = false;
        break;
      }
    }
  }
  return rc;
}

}  // namespace

int main(int argc, char** argv) {
  TSimOptions options;
  try {
    options = ParseSimOptions(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const Exception& e) {
    std::cerr << "quarrow-sim: " << e.Message() << "\n" << SimUsage();
    return 2;
  }
  if (options.Help) {
    std::cout << SimUsage();
    return 0;
  }
  if (options.Version) {
    std::cout << "quarrow-sim " << kProgramVersion << "\n";
    return 0;
  }
  try {
    return Run(options);
  } catch (const std::exception& e) {
    Log(e.what());
    return 1;
  }
}
