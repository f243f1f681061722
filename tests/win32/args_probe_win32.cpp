// Writes the arguments it was started with, as the program reads them, one a line as UTF-8 into
// the file named by the first.
#include <fstream>

#include "base/utf8_path.h"
#include "platform/process/program_args.h"

int main(int argc, char** argv) {
  const auto args = ProgramArguments(argc, argv);
  if (args.empty()) return 2;
  std::ofstream out(Utf8Path(args[0]), std::ios::binary);
  for (std::size_t i = 1; i < args.size(); ++i) out << args[i] << '\n';
  return out ? 0 : 1;
}
