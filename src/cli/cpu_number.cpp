#include "cli/cli.h"

namespace {

bool IsWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

uint32_t ConvertCpuNumber(const char* argument) {
  const char* next = argument;
  while (IsWhiteSpace(*next)) {
    ++next;
  }
  const bool negative = *next == '-';
  if (*next == '+' || *next == '-') {
    ++next;
  }
  // Unsigned arithmetic wraps on overflow instead of being undefined.
  uint32_t value = 0;
  for (; *next >= '0' && *next <= '9'; ++next) {
    value = value * 10u + static_cast<uint32_t>(*next - '0');
  }
  return negative ? 0u - value : value;
}
