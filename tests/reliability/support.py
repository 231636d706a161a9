"""Shared helpers of the reliability tests: leak measurement, fresh
interpreters, the sanitizer run and compiled stand-in look-alikes."""

from __future__ import annotations

import gc
import json
import os
import subprocess
import sys
import textwrap
import tracemalloc

from helpers.gurobi_functions import GUROBI_FUNCTIONS
from helpers.native import compile_library


def under_asan() -> bool:
    """True when the AddressSanitizer runtime is loaded into this process."""
    with open("/proc/self/maps") as maps:
        return "libasan" in maps.read()


def mapped(path: str) -> bool:
    real = os.path.realpath(path)
    with open("/proc/self/maps") as maps:
        return real in maps.read()


def open_fds() -> set[str]:
    return set(os.listdir("/proc/self/fd"))


def resident_bytes() -> int:
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


class LeakCheck:
    """Runs `body` `rounds` times after a warm-up and measures what stays:
    Python allocations (tracemalloc) and the resident set."""

    def __init__(self, body, rounds: int):
        self.body = body
        self.rounds = rounds

    def python_growth(self) -> int:
        for _ in range(max(10, self.rounds // 10)):
            self.body()
        gc.collect()
        tracemalloc.start()
        try:
            gc.collect()
            before = tracemalloc.get_traced_memory()[0]
            for _ in range(self.rounds):
                self.body()
            gc.collect()
            return tracemalloc.get_traced_memory()[0] - before
        finally:
            tracemalloc.stop()

    def resident_growth(self) -> int:
        for _ in range(self.rounds):
            self.body()
        gc.collect()
        before = resident_bytes()
        for _ in range(self.rounds):
            self.body()
        gc.collect()
        return resident_bytes() - before


def run_python(
    code: str, env: dict[str, str] | None = None, *, leaks_expected: bool = False, timeout: int = 300
) -> subprocess.CompletedProcess:
    """Runs code in a fresh interpreter without the stand-in's variables.
    `leaks_expected` turns LeakSanitizer off in that process (for a test
    that makes the library keep memory on purpose)."""
    full_env = {k: v for k, v in os.environ.items() if not k.startswith(("GRB_STANDIN_", "GUROBI_HOME"))}
    full_env.update(env or {})
    if leaks_expected:
        full_env["ASAN_OPTIONS"] = full_env.get("ASAN_OPTIONS", "") + ":detect_leaks=0"
    return subprocess.run(
        [sys.executable, "-c", textwrap.dedent(code)], capture_output=True, text=True, env=full_env, timeout=timeout
    )


def last_json_line(result: subprocess.CompletedProcess):
    assert result.returncode == 0, result.stderr
    return json.loads(result.stdout.strip().splitlines()[-1])


def stub_library(tmp_path, name: str, missing: str | None = None) -> str:
    """A library exporting every Gurobi name the module resolves but `missing`."""
    body = "\n".join(f"void {n}(void) {{}}" for n in GUROBI_FUNCTIONS if n != missing)
    return compile_library(tmp_path, name, body)


def fatal_message(call) -> str:
    """Runs call, which must fail with the module's fatal error, and returns the message."""
    try:
        call()
    except Exception as error:  # pragma: no cover - reported
        raise AssertionError(f"expected the fatal error, got {error!r}") from error
    except BaseException as error:
        assert type(error).__bases__ == (BaseException,) and type(error).__name__ == "FatalError"
        (message,) = error.args
        return message
    raise AssertionError("construction succeeded")
