// Prints the MD5 of each file named on the command line, like md5sum, using
// the installer's own digest routine.
#include <cstdio>

#include "utils/md5.h"

int main(int argc, char** argv) {
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string digest = Utils::FileMd5(argv[i]);
    if (digest.empty()) {
      std::fprintf(stderr, "md5_file: cannot read %s\n", argv[i]);
      status = 1;
      continue;
    }
    std::printf("%s  %s\n", digest.c_str(), argv[i]);
  }
  return status;
}
