// Recognising command words and switches.
#include "cli/cli.h"

namespace {

// Only the ASCII letters fold; every other byte compares exactly, whatever the locale.
char FoldAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool MatchesIgnoringLetterCase(const char* text, const char* word) {
  for (; *text != '\0' && *word != '\0'; ++text, ++word) {
    if (FoldAsciiLetter(*text) != FoldAsciiLetter(*word)) {
      return false;
    }
  }
  return *text == *word;
}

}  // namespace

const char* GetSwitchBody(const char* argument) {
  if (argument[0] == '/' || argument[0] == '-') {
    return argument + 1;
  }
  return nullptr;
}

CommandKind ClassifyCommand(const char* argument) {
  if (MatchesIgnoringLetterCase(argument, "SysMem")) {
    return kCommandSysMem;
  }
  if (MatchesIgnoringLetterCase(argument, "AGPMem")) {
    return kCommandAGPMem;
  }
  if (MatchesIgnoringLetterCase(argument, "VidMem")) {
    return kCommandVidMem;
  }
  return kCommandNone;
}

SwitchKind ClassifySwitch(const char* body) {
  if (MatchesIgnoringLetterCase(body, "?") || MatchesIgnoringLetterCase(body, "help")) {
    return kSwitchHelp;
  }
  if (MatchesIgnoringLetterCase(body, "CPU")) {
    return kSwitchCPU;
  }
  return kSwitchNone;
}
