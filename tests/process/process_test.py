#!/usr/bin/env python3
"""Runs the built Brevonix executable on the Linux layer, as a user would.

Usage: process_test.py PATH_TO_BREVONIX [unittest options]
"""
import os
import pty
import re
import select
import subprocess
import sys
import tempfile
import time
import unittest

EXE = None

USAGE = ("\n"
         "Brevonix v0.90 - Brevonix.\n"
         "\n"
         "Requires the NVIDIA GL_NV_vertex_array_range OpenGL extension.\n"
         "\n"
         "Usage: Brevonix <SysMem | AGPMem | VidMem> [-CPU CPUNumber]\n"
         "   SysMem   Benchmark system memory.\n"
         "   AGPMem   Benchmark AGP memory.\n"
         "   VidMem   Benchmark video memory.\n"
         "   -CPU     Set the benchmark to only run on the specified CPU.\n"
         "\n")

SYSMEM = (r"Allocating system memory array\.\.\.OK\n"
          r"Running system memory benchmark\.\.\.Done\n"
          r"System memory set speed:  [1-9][0-9]* MB/s\n\n")
LOOKUPS = (r"Getting wglAllocateMemoryNV proc address\.\.\.OK\n"
           r"Getting wglFreeMemoryNV proc address\.\.\.OK\n")
AGPMEM = (LOOKUPS + r"Allocating AGP memory array\.\.\.OK\n"
          r"Running AGP memory benchmark\.\.\.Done\n"
          r"AGP Memory set speed:  [1-9][0-9]* MB/s\n\n")
VIDMEM = (LOOKUPS + r"Allocating video memory array\.\.\.OK\n"
          r"Running video memory benchmark\.\.\.Done\n"
          r"Video memory set speed:  [1-9][0-9]* MB/s\n\n")
NO_PIXEL_FORMAT = "ERROR:  ChoosePixelFormat failed.\nERROR:  CreateWindow failed.\n\n"


def run(*arguments, env=None):
    completed = subprocess.run([EXE, *arguments], capture_output=True, env=env, timeout=120)
    return completed.stdout.decode("latin-1"), completed.stderr, completed.returncode


class CommandLine(unittest.TestCase):
    def test_usage_text_and_its_status(self):
        for arguments in ([], ["-?"], ["/HELP"]):
            out, err, status = run(*arguments)
            self.assertEqual(out, USAGE, arguments)
            self.assertEqual(status, 255, arguments)  # -1 as the shell sees it
            self.assertEqual(err, b"")

    def test_command_line_error_and_its_status(self):
        out, err, status = run("SysMem", "bogus")
        self.assertEqual(out, "Invalid command 'bogus'.\nRun 'Brevonix -?' for usage instructions.\n\n")
        self.assertEqual(status, 254)  # -2
        self.assertEqual(err, b"")

    def test_cpu_the_machine_does_not_allow_is_refused(self):
        allowed = os.sched_getaffinity(0)
        missing = next((cpu for cpu in range(32) if cpu not in allowed), None)
        if missing is None:
            self.skipTest("every CPU number from 0 to 31 is usable here")
        out, _, status = run("SysMem", "-CPU", str(missing))
        self.assertEqual(out, f"Setting process to only run on CPU {missing}.\n\n"
                              f"ERROR: Unable to set process to only run on CPU '{missing}'.\n\n")
        self.assertEqual(status, 254)


class Benchmarks(unittest.TestCase):
    def test_sysmem_pinned_to_an_allowed_cpu(self):
        cpu = min(os.sched_getaffinity(0))
        out, err, status = run("SysMem", "-CPU", str(cpu))
        self.assertRegex(out, f"^Setting process to only run on CPU {cpu}\\.\n\n{SYSMEM}$")
        self.assertEqual((status, err), (0, b""))

    def test_agp_and_video_memory_from_the_opengl_driver(self):
        for command, expected in (("AGPMem", AGPMEM), ("VidMem", VIDMEM)):
            out, err, status = run(command)
            self.assertRegex(out, f"^{expected}$", command)
            self.assertEqual((status, err), (0, b""), command)

    def test_all_three_in_their_fixed_order(self):
        out, err, status = run("VidMem", "AGPMem", "sysmem")
        self.assertRegex(out, f"^{SYSMEM}{AGPMEM}{VIDMEM}$")
        self.assertEqual((status, err), (0, b""))

    def test_without_an_opengl_driver_the_gl_benchmarks_fail_and_sysmem_runs(self):
        with tempfile.TemporaryDirectory() as empty:
            env = dict(os.environ, __EGL_VENDOR_LIBRARY_DIRS=empty)
            out, err, status = run("AGPMem", "VidMem", "SysMem", env=env)
        self.assertRegex(out, f"^{SYSMEM}{re.escape(NO_PIXEL_FORMAT * 2)}$")
        self.assertEqual((status, err), (0, b""))

    def test_no_link_time_dependency_on_egl(self):
        dynamic = subprocess.run(["readelf", "-d", EXE], capture_output=True, text=True,
                                 check=True).stdout
        self.assertIn("libc.so", dynamic)
        self.assertNotIn("libEGL", dynamic)
        self.assertNotIn("libGL", dynamic)


class Terminal(unittest.TestCase):
    def test_announcement_is_on_screen_while_the_benchmark_runs(self):
        """On a terminal each print is out before it returns, so the announcement shows during
        the 250 ms settle and the fill, well before "Done"."""
        pid, fd = pty.fork()
        if pid == 0:
            os.execv(EXE, [EXE, "SysMem"])
        seen, text = {}, b""
        deadline = time.monotonic() + 120
        while time.monotonic() < deadline:
            ready, _, _ = select.select([fd], [], [], 1)
            if not ready:
                continue
            try:
                chunk = os.read(fd, 4096)
            except OSError:
                break
            if not chunk:
                break
            text += chunk
            now = time.monotonic()
            for marker in (b"Running system memory benchmark...", b"Done"):
                if marker in text and marker not in seen:
                    seen[marker] = now
        _, status = os.waitpid(pid, 0)
        self.assertEqual(os.waitstatus_to_exitcode(status), 0)
        self.assertIn(b"Running system memory benchmark...", seen)
        self.assertIn(b"Done", seen)
        # The settle delay alone keeps "Done" 250 ms away; a buffered announcement would arrive
        # together with it.
        self.assertGreater(seen[b"Done"] - seen[b"Running system memory benchmark..."], 0.2)


if __name__ == "__main__":
    EXE = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
