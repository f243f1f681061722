// The records of the tests' archives, as a tester stores them.
#pragma once

#include <cstdint>
#include <vector>

// A record of the test archive: number n gives R = 20 + n MPa and q single values.
inline std::vector<std::uint8_t> TestRecord(unsigned n, unsigned q) {
  std::vector<std::uint8_t> r(128, 0);
  r[0] = 9;                             // day
  r[1] = 12;                            // month
  r[8] = 26;                            // year - 2000
  r[7] = 14;                            // hour
  r[2] = (1 << 4) | 2;                  // material 1, article 2
  r[3] = static_cast<std::uint8_t>(q);  // impacts
  const unsigned raw = 200 + 10 * n;    // R in tenths of MPa
  r[18] = raw & 255;
  r[19] = static_cast<std::uint8_t>(raw >> 8);
  r[9] = 15;                                    // S 1.5
  r[11] = 42;                                   // V 4.2
  r[17] = 100;                                  // Kc 1.00
  for (unsigned k = 0; k < q && k < 49; ++k) {  // a slot holds 49 values
    const unsigned v = raw + k;
    r[30 + 2 * k] = v & 255;
    r[31 + 2 * k] = static_cast<std::uint8_t>(v >> 8);
  }
  return r;
}
