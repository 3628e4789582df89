// The Windows C runtime writes each print to a console before the print returns, so a step's
// announcement is on the screen while the step runs. glibc only line-buffers a terminal; make
// it unbuffered at start-up when standard output is one. Files and pipes keep full buffering.
#include <unistd.h>

#include <cstdio>

namespace {

__attribute__((constructor)) void MakeTerminalOutputImmediate() {
  if (isatty(STDOUT_FILENO)) {
    setvbuf(stdout, nullptr, _IONBF, 0);
  }
}

}  // namespace
