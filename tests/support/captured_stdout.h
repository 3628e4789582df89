// Sends standard output to a temporary file while an instance lives, so a test can read back
// exactly the bytes the program printed.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <string>

class CapturedStdout {
 public:
  CapturedStdout() {
    fflush(stdout);
    file_ = tmpfile();
    saved_ = dup(STDOUT_FILENO);
    dup2(fileno(file_), STDOUT_FILENO);
  }
  ~CapturedStdout() {
    fflush(stdout);
    dup2(saved_, STDOUT_FILENO);
    close(saved_);
    fclose(file_);
  }
  CapturedStdout(const CapturedStdout&) = delete;
  CapturedStdout& operator=(const CapturedStdout&) = delete;

  // Everything printed since the capture began.
  std::string Text() {
    fflush(stdout);
    std::string text;
    char buffer[4096];
    ssize_t read = 0;
    for (off_t at = 0; (read = pread(fileno(file_), buffer, sizeof buffer, at)) > 0;
         at += static_cast<off_t>(read)) {
      text.append(buffer, static_cast<std::size_t>(read));
    }
    return text;
  }

 private:
  FILE* file_;
  int saved_;
};
