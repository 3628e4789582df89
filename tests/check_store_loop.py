#!/usr/bin/env python3
"""Checks the compiled store loop of a Brevonix executable (x86-64).

The measured loop must stay a loop of plain 32-bit stores, eight per iteration: no block-fill
call, no `rep stos`, no vector or non-temporal stores. The compiler may inline the loop into
its callers, so every function on the path from the benchmarks to the loop is examined.
"""
import re
import subprocess
import sys

EXAMINED = re.compile(r"FillWords|MeasureWriteSpeed|RunSysMemBenchmark|ExtensionMemoryBenchmark|"
                      r"RunAGPMemBenchmark|RunVidMemBenchmark")
FORBIDDEN = [
    (re.compile(r"\brep\w*\s+stos"), "rep stos"),
    (re.compile(r"\bmovnt"), "non-temporal store"),
    (re.compile(r"\bcall\b.*<(__)?(memset|bzero|memcpy|memmove|wmemset)"), "block-fill call"),
    # A vector register stored to memory other than the stack frame (where a compiler may
    # spill or build a local, outside the fill).
    (re.compile(r"\bv?mov\w*\s+%[xyz]mm\d+,\s*(?![^%\s]*\(%rsp)[^%\s]"), "vector store"),
]
STORE = re.compile(r"^\s*([0-9a-f]+):\s+(mov\w*)\s+(%\w+|\$\w+),\s*(-?0x[0-9a-f]+)?\((%\w+)")
DWORD_SOURCE = re.compile(r"^%(e[a-z]{2}|r\d+d)$")
BRANCH = re.compile(r"^\s*([0-9a-f]+):\s+j\w+\s+([0-9a-f]+)\s+<")
INSTRUCTION = re.compile(r"^\s*([0-9a-f]+):\s+(.*)$")


def is_32_bit(store):
    """A store of a 32-bit register, or of an immediate with the 32-bit suffix."""
    mnemonic, source = store.group(2), store.group(3)
    if source.startswith("$"):
        return mnemonic == "movl"
    return bool(DWORD_SOURCE.match(source))


def functions(disassembly):
    name, body = None, []
    for line in disassembly.splitlines():
        header = re.match(r"^[0-9a-f]+ <(.+)>:$", line)
        if header:
            if name:
                yield name, body
            name, body = header.group(1), []
        elif name and INSTRUCTION.match(line):
            body.append(line)
    if name:
        yield name, body


def loops(body):
    """Yields the instructions of every innermost loop: a branch back to an earlier address of
    the same function, with no other such branch inside. Tail calls leave the function and do
    not count."""
    address = [int(INSTRUCTION.match(line).group(1), 16) for line in body]

    def backward_target(i):
        branch = BRANCH.match(body[i])
        if branch and address[0] <= int(branch.group(2), 16) <= address[i]:
            return int(branch.group(2), 16)
        return None

    for i in range(len(body)):
        target = backward_target(i)
        if target is None:
            continue
        inside = [j for j in range(len(body)) if target <= address[j] <= address[i]]
        if all(backward_target(j) is None for j in inside if j != i):
            yield [body[j] for j in inside]


def main(executable):
    disassembly = subprocess.run(["objdump", "-d", "--no-show-raw-insn", "-C", executable],
                                 check=True, capture_output=True, text=True).stdout
    problems, store_loops, examined = [], 0, []
    for name, body in functions(disassembly):
        if not EXAMINED.search(name):
            continue
        examined.append(name)
        for line in body:
            for pattern, what in FORBIDDEN:
                if pattern.search(line):
                    problems.append(f"{what} in {name}: {line.strip()}")
        for loop in loops(body):
            stores = [STORE.match(line) for line in loop if STORE.match(line)]
            if len(stores) >= 8:
                wide = [s.group(0).strip() for s in stores if not is_32_bit(s)]
                if wide:
                    problems.append(f"store wider or narrower than 32 bits in {name}: {wide[0]}")
                else:
                    store_loops += 1
    if not examined:
        problems.append("no benchmark function found; was the executable stripped?")
    elif store_loops == 0:
        problems.append("no loop of at least eight 32-bit stores in " + ", ".join(examined))
    for problem in problems:
        print("FAIL:", problem)
    if not problems:
        print(f"OK: {store_loops} unrolled 32-bit store loop(s) in {', '.join(examined)}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
