// The three files of a full archive with single values (65535 records of 49 each): the text
// report, the PDF protocol and the CSV table, each written in a child process of its own so that
// its time, size and peak memory are its own.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench_common.h"
#include "mainwindow/csv_table.h"
#include "mainwindow/pdf_protocol.h"
#include "mainwindow/textreport.h"

namespace {

// Runs write in a child; prints wall time, processor time, the file's size and the peak memory.
void Measure(const char* what, const std::string& file, const std::function<void()>& write) {
  const auto t0 = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    try {
      write();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s: %s\n", what, e.what());
      _exit(1);
    }
    _exit(0);
  }
  int status = 0;
  rusage ru{};
  wait4(pid, &status, 0, &ru);
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  const double cpu = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                     static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
  std::error_code ec;
  const auto size = std::filesystem::file_size(file, ec);
  if (file.ends_with(".pdf")) {
    std::ifstream in(file, std::ios::binary);
    const std::string pdf((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (const auto at = pdf.find("/Count "); at != std::string::npos)
      std::printf("PDF pages: %d\n", std::atoi(pdf.c_str() + at + 7));
  }
  std::printf("%-13s %7.2f s wall %7.2f s cpu %9.1f MB file %7.1f MB peak%s\n", what, wall, cpu,
              ec ? 0.0 : static_cast<double>(size) / 1e6, static_cast<double>(ru.ru_maxrss) / 1024,
              WIFEXITED(status) && WEXITSTATUS(status) == 0 ? "" : "  FAILED");
  std::filesystem::remove(file, ec);
}

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path dir = argc > 1 ? argv[1] : std::filesystem::temp_directory_path();
  const TArchive archive = FullArchive();
  const FormatSettings fs;
  const TDateTime now = Now();
  std::printf("65535 records with 49 single values each\n");
  const std::string text = (dir / "q2e_bench_protocol.txt").string();
  Measure("text report", text,
          [&] { BuildTextReport(archive, 0, true, fs, now).SaveToFile(text); });
  const std::string pdf = (dir / "q2e_bench_protocol.pdf").string();
  Measure("PDF protocol", pdf, [&] {
    WritePdfProtocol({.Archive = archive,
                      .Singles = true,
                      .Format = fs,
                      .Tr = TStringTable::English(),
                      .ReadAt = now,
                      .TesterDate = now,
                      .Now = now},
                     pdf);
  });
  const std::string csv = (dir / "q2e_bench_protocol.csv").string();
  Measure("CSV table", csv, [&] { WriteCsvTable(archive, 0, true, fs, csv); });
  return 0;
}
