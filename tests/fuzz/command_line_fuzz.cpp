// libFuzzer target over the command-line front end, RunCommandLine.
//
// Input: byte 0 is a control byte (bit 0: the fake refuses SetProcessAffinityMask); the rest is
// split on NUL bytes into arguments of any other bytes and any length, at most kMaxArguments of
// them (the rest is dropped). argv[0] is always "Brevonix". No input bytes give argc 1; one NUL
// after the control byte gives two empty arguments.
//
// The benchmarks are replaced by recorders; the platform is the test fake, so nothing is pinned,
// slept or timed for real. Standard output goes to an in-memory file for each input and is read
// back. The run aborts (a crash for libFuzzer) when any of these fails:
//  - the status is 0, -1 or -2;
//  - the output is exactly one of the forms of the command-line table: the usage text; an invalid
//    switch or command (echoing one of the arguments) with the usage hint; a missing number
//    after a switch; an invalid CPU number (> 31); or "Setting process to only run on CPU %u."
//    (<= 31) followed by either the pinning error for the same CPU or the benchmark phase; in
//    the benchmark phase each recorder prints nothing and the front end prints "\n" after each;
//  - status 0 iff the benchmark phase ran; -1 iff the usage text; -2 otherwise;
//  - at most the three benchmarks ran, each at most once, in the order sysMem, agpMem, vidMem,
//    and at least one in the benchmark phase;
//  - the timer period was begun and ended exactly once iff the status is 0, begun before the
//    first benchmark and ended after the last;
//  - the only platform calls are GetCurrentProcess, SetProcessAffinityMask (exactly once, with
//    mask 1 << CPU, iff the "Setting process" line was printed), timeBeginPeriod and
//    timeEndPeriod; the pinning error appears only when the fake refused, and the process's
//    real affinity never changes;
//  - status, output and benchmarks equal those of a small model of the command line written
//    from cli.h's contract (the differential check).
#include <sched.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "fake/fake_platform.h"

namespace {

constexpr std::size_t kMaxArguments = 64;
constexpr uint32_t kHighestCpu = 31;
constexpr unsigned char kRefusePinning = 0x01;
const char kProgramName[] = "Brevonix";
const std::string kHint = "Run 'Brevonix -?' for usage instructions.\n\n";

enum Routine { kSysMem = 0, kAGPMem = 1, kVidMem = 2 };
const char* const kRoutineNames[] = {"sysMem", "agpMem", "vidMem"};

struct RecorderCall {
  int routine;
  long outputBytes;      // bytes on standard output when the recorder was entered
  std::size_t logIndex;  // fake log entries made before it
};

std::vector<RecorderCall> g_recorderCalls;

long OutputBytes() {
  fflush(stdout);
  struct stat status;
  if (fstat(STDOUT_FILENO, &status) != 0) {
    return -1;
  }
  return static_cast<long>(status.st_size);
}

void Record(int routine) {
  g_recorderCalls.push_back({routine, OutputBytes(), FakeGetLog().size()});
}
void RecordSysMem() {
  Record(kSysMem);
}
void RecordAGPMem() {
  Record(kAGPMem);
}
void RecordVidMem() {
  Record(kVidMem);
}

// Standard output to an in-memory file while capturing.
class StdoutCapture {
 public:
  StdoutCapture() {
    file_ = memfd_create("command_line_fuzz_stdout", MFD_CLOEXEC);
    if (file_ < 0) {
      FILE* temporary = tmpfile();
      file_ = temporary == nullptr ? -1 : dup(fileno(temporary));
    }
    saved_ = dup(STDOUT_FILENO);
    if (file_ < 0 || saved_ < 0) {
      perror("command_line_fuzz: cannot capture standard output");
      abort();
    }
  }

  void Begin() {
    fflush(stdout);
    if (ftruncate(file_, 0) != 0 || lseek(file_, 0, SEEK_SET) != 0 ||
        dup2(file_, STDOUT_FILENO) < 0) {
      perror("command_line_fuzz: cannot redirect standard output");
      abort();
    }
  }

  std::string End() {
    fflush(stdout);
    std::string text;
    char buffer[4096];
    ssize_t got = 0;
    for (off_t at = 0; (got = pread(file_, buffer, sizeof buffer, at)) > 0; at += got) {
      text.append(buffer, static_cast<std::size_t>(got));
    }
    dup2(saved_, STDOUT_FILENO);
    return text;
  }

 private:
  int file_ = -1;
  int saved_ = -1;
};

StdoutCapture* g_capture = nullptr;
std::string* g_usage = nullptr;
cpu_set_t g_affinity;

// ---- Reporting -------------------------------------------------------------------------------

std::string Escape(const std::string& text) {
  std::string escaped;
  for (const unsigned char c : text) {
    if (c == '\n') {
      escaped += "\\n";
    } else if (c == '\\' || c == '"') {
      escaped += '\\';
      escaped += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7f) {
      escaped += static_cast<char>(c);
    } else {
      char hex[8];
      snprintf(hex, sizeof hex, "\\x%02x", c);
      escaped += hex;
    }
  }
  return escaped;
}

struct Case {
  bool refusePinning;
  std::vector<std::string> arguments;
  int status;
  std::string output;
};

[[noreturn]] void Fail(const Case& run, const std::string& why) {
  fprintf(stderr, "\ncommand_line_fuzz: VIOLATION: %s\n", why.c_str());
  fprintf(stderr, "  pinning refused: %s\n  argv: \"%s\"", run.refusePinning ? "yes" : "no",
          kProgramName);
  for (const std::string& argument : run.arguments) {
    fprintf(stderr, " \"%s\"", Escape(argument).c_str());
  }
  fprintf(stderr, "\n  status: %d\n  output: \"%s\"\n  recorders:", run.status,
          Escape(run.output).c_str());
  for (const RecorderCall& call : g_recorderCalls) {
    fprintf(stderr, " %s@%ld", kRoutineNames[call.routine], call.outputBytes);
  }
  fprintf(stderr, "\n  platform calls:");
  for (const FakeLogEntry& entry : FakeGetLog()) {
    fprintf(stderr, " %s@%ld", entry.call.c_str(), entry.outputBytes);
  }
  fprintf(stderr, "\n");
  abort();
}

// ---- The forms of the command-line table -----------------------------------------------------

enum class Form {
  kNone,
  kUsage,
  kInvalidSwitch,
  kInvalidCommand,
  kExpectedNumber,
  kInvalidCpu,
  kPinFailed,
  kBenchmarks
};

struct Parsed {
  Form form = Form::kNone;
  bool pinLine = false;
  uint32_t cpu = 0;
  std::size_t phaseStart = 0;  // output bytes before the benchmark phase
  std::size_t newlines = 0;    // benchmark phase: the "\n" after each benchmark
};

bool StartsWith(const std::string& text, std::size_t at, const std::string& prefix) {
  return at <= text.size() && text.size() - at >= prefix.size() &&
         text.compare(at, prefix.size(), prefix) == 0;
}

bool IsSwitch(const std::string& argument) {
  return !argument.empty() && (argument[0] == '/' || argument[0] == '-');
}

// Reads a %u as printf writes it (no sign, no leading zero, within 32 bits) at `*at`.
bool ReadPrintedUnsigned(const std::string& text, std::size_t* at, uint32_t* value) {
  std::size_t end = *at;
  uint64_t number = 0;
  while (end < text.size() && text[end] >= '0' && text[end] <= '9' && end - *at < 11) {
    number = number * 10 + static_cast<uint64_t>(text[end] - '0');
    ++end;
  }
  const std::size_t digits = end - *at;
  if (digits == 0 || digits > 10 || number > UINT32_MAX || (digits > 1 && text[*at] == '0')) {
    return false;
  }
  *value = static_cast<uint32_t>(number);
  *at = end;
  return true;
}

// "<prefix><one of the arguments, as `wanted` says><suffix>", exactly.
bool EchoesArgument(const std::string& output, const std::string& prefix, const std::string& suffix,
                    const std::vector<std::string>& arguments, bool wantSwitch) {
  for (const std::string& argument : arguments) {
    if (IsSwitch(argument) == wantSwitch && output == prefix + argument + suffix) {
      return true;
    }
  }
  return false;
}

Parsed ParseOutput(const std::string& output, const std::vector<std::string>& arguments) {
  Parsed parsed;
  if (output == *g_usage) {
    parsed.form = Form::kUsage;
    return parsed;
  }
  if (EchoesArgument(output, "Invalid switch '", "'.\n" + kHint, arguments, true)) {
    parsed.form = Form::kInvalidSwitch;
    return parsed;
  }
  if (EchoesArgument(output, "Invalid command '", "'.\n" + kHint, arguments, false)) {
    parsed.form = Form::kInvalidCommand;
    return parsed;
  }
  if (EchoesArgument(output, "ERROR: Expected number after switch '", "'\n\n", arguments, true)) {
    parsed.form = Form::kExpectedNumber;
    return parsed;
  }
  const std::string invalidCpu = "Invalid CPU number '";
  if (StartsWith(output, 0, invalidCpu)) {
    std::size_t at = invalidCpu.size();
    if (ReadPrintedUnsigned(output, &at, &parsed.cpu) && parsed.cpu > kHighestCpu &&
        output.compare(at, std::string::npos, "'.\nValid CPU numbers are 0 through 31.\n\n") == 0) {
      parsed.form = Form::kInvalidCpu;
    }
    return parsed;
  }

  std::size_t at = 0;
  const std::string setting = "Setting process to only run on CPU ";
  if (StartsWith(output, 0, setting)) {
    at = setting.size();
    if (!ReadPrintedUnsigned(output, &at, &parsed.cpu) || parsed.cpu > kHighestCpu ||
        !StartsWith(output, at, ".\n\n")) {
      return parsed;
    }
    at += 3;
    parsed.pinLine = true;
    const std::string failed =
        "ERROR: Unable to set process to only run on CPU '" + std::to_string(parsed.cpu) + "'.\n\n";
    if (output.compare(at, std::string::npos, failed) == 0) {
      parsed.form = Form::kPinFailed;
      return parsed;
    }
  }
  // The benchmark phase: one "\n" after each of one to three benchmarks.
  const std::size_t newlines = output.size() - at;
  if (newlines >= 1 && newlines <= 3 && output.find_first_not_of('\n', at) == std::string::npos) {
    parsed.form = Form::kBenchmarks;
    parsed.phaseStart = at;
    parsed.newlines = newlines;
  }
  return parsed;
}

// ---- The model: cli.h's contract, written independently -------------------------------------

std::string UpperAscii(const std::string& text) {
  std::string upper = text;
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  return upper;
}

// Leading white space, one optional sign, decimal digits with 32-bit wrap, the rest ignored.
uint32_t ModelCpuNumber(const std::string& text) {
  std::size_t at = text.find_first_not_of(" \t\n\v\f\r");
  if (at == std::string::npos) {
    return 0;
  }
  bool negative = false;
  if (text[at] == '+' || text[at] == '-') {
    negative = text[at] == '-';
    ++at;
  }
  uint64_t value = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    value = (value * 10 + static_cast<uint64_t>(text[at] - '0')) & 0xFFFFFFFFu;
  }
  return static_cast<uint32_t>(negative ? (0x100000000ull - value) & 0xFFFFFFFFu : value);
}

struct Expected {
  int status = -1;
  std::string output;
  std::vector<int> routines;
};

Expected Model(const std::vector<std::string>& arguments, bool refusePinning) {
  Expected expected;
  expected.output = *g_usage;
  bool requested[3] = {false, false, false};
  bool cpuGiven = false;
  uint32_t cpu = 0;
  for (std::size_t index = 0; index < arguments.size(); ++index) {
    const std::string& argument = arguments[index];
    if (IsSwitch(argument)) {
      const std::string body = UpperAscii(argument.substr(1));
      if (body == "?" || body == "HELP") {
        return expected;
      }
      if (body == "CPU") {
        if (index + 1 >= arguments.size()) {
          return {-2, "ERROR: Expected number after switch '" + argument + "'\n\n", {}};
        }
        cpu = ModelCpuNumber(arguments[++index]);
        cpuGiven = true;
        continue;
      }
      return {-2, "Invalid switch '" + argument + "'.\n" + kHint, {}};
    }
    const std::string word = UpperAscii(argument);
    if (word == "SYSMEM") {
      requested[kSysMem] = true;
    } else if (word == "AGPMEM") {
      requested[kAGPMem] = true;
    } else if (word == "VIDMEM") {
      requested[kVidMem] = true;
    } else {
      return {-2, "Invalid command '" + argument + "'.\n" + kHint, {}};
    }
  }
  if (!requested[kSysMem] && !requested[kAGPMem] && !requested[kVidMem]) {
    return expected;
  }
  std::string output;
  if (cpuGiven) {
    const std::string number = std::to_string(cpu);
    if (cpu > kHighestCpu) {
      return {
          -2, "Invalid CPU number '" + number + "'.\nValid CPU numbers are 0 through 31.\n\n", {}};
    }
    output = "Setting process to only run on CPU " + number + ".\n\n";
    if (refusePinning) {
      return {
          -2, output + "ERROR: Unable to set process to only run on CPU '" + number + "'.\n\n", {}};
    }
  }
  expected.status = 0;
  for (int routine = kSysMem; routine <= kVidMem; ++routine) {
    if (requested[routine]) {
      expected.routines.push_back(routine);
      output += "\n";
    }
  }
  expected.output = output;
  return expected;
}

// ---- Checks ---------------------------------------------------------------------------------

void Check(const Case& run) {
  if (run.status != 0 && run.status != -1 && run.status != -2) {
    Fail(run, "status is not 0, -1 or -2");
  }
  const Parsed parsed = ParseOutput(run.output, run.arguments);
  if (parsed.form == Form::kNone) {
    Fail(run, "output is none of the forms of the command-line table");
  }
  const int formStatus = parsed.form == Form::kUsage        ? -1
                         : parsed.form == Form::kBenchmarks ? 0
                                                            : -2;
  if (run.status != formStatus) {
    Fail(run, "status does not match the output (0 iff the benchmark phase ran)");
  }

  // Benchmarks: only in the benchmark phase, each at most once, in the fixed order, with the
  // front end's "\n" after each and nothing printed by the recorders.
  const std::size_t ran = g_recorderCalls.size();
  if (parsed.form != Form::kBenchmarks && ran != 0) {
    Fail(run, "a benchmark ran outside the benchmark phase");
  }
  if (parsed.form == Form::kBenchmarks) {
    if (ran != parsed.newlines) {
      Fail(run, "the benchmark phase's newlines do not match the benchmarks run");
    }
    for (std::size_t i = 0; i < ran; ++i) {
      if (i > 0 && g_recorderCalls[i].routine <= g_recorderCalls[i - 1].routine) {
        Fail(run, "benchmarks ran twice or out of the order sysMem, agpMem, vidMem");
      }
      if (g_recorderCalls[i].outputBytes != static_cast<long>(parsed.phaseStart + i)) {
        Fail(run,
             "output before a benchmark is not the phase start plus one \"\\n\" per "
             "earlier benchmark");
      }
    }
  }

  // Platform calls.
  const std::vector<FakeLogEntry>& log = FakeGetLog();
  std::size_t begins = 0, ends = 0, pins = 0, beginIndex = 0, endIndex = 0;
  for (std::size_t i = 0; i < log.size(); ++i) {
    const std::string& call = log[i].call;
    if (call == "timeBeginPeriod(1)") {
      ++begins;
      beginIndex = i;
    } else if (call == "timeEndPeriod(1)") {
      ++ends;
      endIndex = i;
    } else if (call.rfind("SetProcessAffinityMask(", 0) == 0) {
      ++pins;
      char mask[32];
      snprintf(mask, sizeof mask, ", 0x%llx)", 1ull << (parsed.cpu & 63u));
      if (!parsed.pinLine || call.size() < strlen(mask) ||
          call.compare(call.size() - strlen(mask), std::string::npos, mask) != 0) {
        Fail(run, "SetProcessAffinityMask called without the CPU line or with another mask");
      }
      if (log[i].outputBytes != static_cast<long>(run.output.find(".\n\n") + 3)) {
        Fail(run, "SetProcessAffinityMask not called right after the CPU line was printed");
      }
    } else if (call != "GetCurrentProcess()") {
      Fail(run, "unexpected platform call " + call);
    }
  }
  if (pins != (parsed.pinLine ? 1u : 0u)) {
    Fail(run, "SetProcessAffinityMask not called exactly once with the CPU line");
  }
  if (parsed.form == Form::kPinFailed && !run.refusePinning) {
    Fail(run, "pinning error printed although the fake pinned");
  }
  if (parsed.form == Form::kBenchmarks && parsed.pinLine && run.refusePinning) {
    Fail(run, "benchmarks ran although pinning was refused");
  }
  const std::size_t periods = run.status == 0 ? 1 : 0;
  const FakeCounts& counts = FakeGetCounts();
  if (begins != periods || ends != periods ||
      counts.timerPeriodsBegun != static_cast<int>(periods) ||
      counts.timerPeriodsEnded != static_cast<int>(periods)) {
    Fail(run, "timer period not begun and ended exactly once iff status 0");
  }
  if (periods == 1) {
    if (endIndex < beginIndex) {
      Fail(run, "timer period ended before it began");
    }
    for (const RecorderCall& call : g_recorderCalls) {
      if (call.logIndex <= beginIndex || call.logIndex > endIndex) {
        Fail(run, "a benchmark ran outside the timer period");
      }
    }
  }
  cpu_set_t affinity;
  if (sched_getaffinity(0, sizeof affinity, &affinity) == 0 && !CPU_EQUAL(&affinity, &g_affinity)) {
    Fail(run, "the process's real CPU affinity changed");
  }

  // The model.
  const Expected expected = Model(run.arguments, run.refusePinning);
  if (run.status != expected.status) {
    Fail(run, "status differs from the model's " + std::to_string(expected.status));
  }
  if (run.output != expected.output) {
    Fail(run, "output differs from the model's \"" + Escape(expected.output) + "\"");
  }
  std::vector<int> routines;
  for (const RecorderCall& call : g_recorderCalls) {
    routines.push_back(call.routine);
  }
  if (routines != expected.routines) {
    Fail(run, "benchmarks run differ from the model's");
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  g_capture = new StdoutCapture();
  sched_getaffinity(0, sizeof g_affinity, &g_affinity);
  FakeReset();
  g_capture->Begin();
  PrintUsage();
  g_usage = new std::string(g_capture->End());
  if (g_usage->empty() || !FakeGetLog().empty()) {
    fprintf(stderr, "command_line_fuzz: PrintUsage printed nothing or called the platform\n");
    abort();
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Case run;
  run.refusePinning = size > 0 && (data[0] & kRefusePinning) != 0;
  if (size > 1) {
    const char* const text = reinterpret_cast<const char*>(data + 1);
    const std::size_t length = size - 1;
    std::size_t start = 0;
    while (run.arguments.size() < kMaxArguments) {
      const void* separator = memchr(text + start, '\0', length - start);
      const std::size_t end =
          separator == nullptr
              ? length
              : static_cast<std::size_t>(static_cast<const char*>(separator) - text);
      run.arguments.emplace_back(text + start, end - start);
      if (separator == nullptr) {
        break;
      }
      start = end + 1;
    }
  }
  std::vector<const char*> argv;
  argv.push_back(kProgramName);
  for (const std::string& argument : run.arguments) {
    argv.push_back(argument.c_str());
  }
  argv.push_back(nullptr);

  FakeReset();
  FakeGetSettings().refuse[static_cast<int>(FakeFallible::kSetProcessAffinityMask)] =
      run.refusePinning;
  g_recorderCalls.clear();
  const BenchmarkRoutines routines = {RecordSysMem, RecordAGPMem, RecordVidMem};

  g_capture->Begin();
  run.status = RunCommandLine(static_cast<int>(argv.size() - 1), argv.data(), routines);
  run.output = g_capture->End();

  Check(run);
  return 0;
}
