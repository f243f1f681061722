// The text report of a full archive with single values (about 3.3 million lines): build and
// write it, then write as many bytes with one plain buffered loop; prints times (wall and, as
// the machine may be shared, processor) and peak memory.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_common.h"
#include "mainwindow/textreport.h"

int main(int argc, char** argv) {
  const std::filesystem::path dir = argc > 1 ? argv[1] : std::filesystem::temp_directory_path();
  const TArchive archive = FullArchive();
  const std::string report_file = (dir / "q2e_bench_report.txt").string();
  const std::string plain_file = (dir / "q2e_bench_plain.txt").string();

  const double cpu0 = Cpu();
  auto t0 = std::chrono::steady_clock::now();
  TTextReport report = BuildTextReport(archive, 0, true, FormatSettings{}, Now());
  const double build = Since(t0);
  t0 = std::chrono::steady_clock::now();
  report.SaveToFile(report_file);
  const double write = Since(t0);
  const double report_cpu = Cpu() - cpu0;
  const std::uint64_t bytes = report.Size();
  const std::size_t lines = report.LineCount();
  report.Clear();
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  const double peak = static_cast<double>(ru.ru_maxrss) * 1024.0;

  // The report is synced to disk before it replaces the old file; time the plain loop both ways.
  double plain_cpu = 0;
  auto plain_write = [&](bool sync) {
    const double cpu_start = Cpu();
    const auto start = std::chrono::steady_clock::now();
    std::FILE* f = std::fopen(plain_file.c_str(), "wb");
    if (!f) return -1.0;
    std::vector<char> buf(1 << 20, 'x');
    for (std::uint64_t left = bytes; left > 0;) {
      const std::size_t n = left < buf.size() ? left : buf.size();
      std::fwrite(buf.data(), 1, n, f);
      left -= n;
    }
    std::fflush(f);
    if (sync) fsync(fileno(f));
    std::fclose(f);
    plain_cpu = Cpu() - cpu_start;
    return Since(start);
  };
  const double plain = plain_write(false);
  const double plain_sync = plain_write(true);
  const double plain_sync_cpu = plain_cpu;
  std::filesystem::remove(report_file);
  std::filesystem::remove(plain_file);

  std::printf("text report: %zu lines, %llu bytes\n", lines,
              static_cast<unsigned long long>(bytes));
  std::printf("  build %.3f s, write %.3f s, total %.3f s\n", build, write, build + write);
  std::printf("  plain buffered write of the same size: %.3f s (ratio %.2f)\n", plain,
              (build + write) / plain);
  std::printf("  plain buffered write + fsync: %.3f s (ratio %.2f)\n", plain_sync,
              (build + write) / plain_sync);
  std::printf("  processor time: report %.3f s, plain write + fsync %.3f s (ratio %.2f)\n",
              report_cpu, plain_sync_cpu, report_cpu / plain_sync_cpu);
  std::printf("  peak memory %.0f MB (%.2f x file size)\n", peak / 1e6, peak / bytes);
  return 0;
}
