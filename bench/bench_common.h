// What the benchmarks share: clocks, the process's own processor time and peak memory, and the
// largest archive a tester holds (65535 records of 49 single values, every record different).
#pragma once

#include <sys/resource.h>

#include <chrono>
#include <cstdint>

#include "mainwindow/archive.h"

inline double Since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Processor seconds of the process, user and system: the machine may be shared.
inline double Cpu() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
         static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

inline double PeakMb() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return static_cast<double>(ru.ru_maxrss) / 1024.0;
}

inline TArchive FullArchive() {
  TArchive archive;
  archive.Resize(65535);
  for (std::uint32_t i = 0; i < 65535; ++i) {
    ArchiveSlot r{};
    for (std::size_t b = 0; b < r.size(); ++b) r[b] = static_cast<std::uint8_t>(i * 13 + b * 7);
    r[0] = static_cast<std::uint8_t>(1 + i % 28), r[1] = static_cast<std::uint8_t>(1 + i % 12);
    r[3] = 49;
    r[126] = static_cast<std::uint8_t>(i), r[127] = static_cast<std::uint8_t>(i >> 8);
    archive.StoreRecord(r.data(), r.size());
  }
  return archive;
}
