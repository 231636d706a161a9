"""pytest plugin for the sanitizer run: skips the tests that cannot run with
the ASan runtime preloaded into every process they start."""

import pytest

COMPILER = (
    "runs the C compiler in a child process; with the ASan runtime preloaded there, "
    "LeakSanitizer reports the compiler's own exit-time leaks"
)
OPEN_HANDLES = (
    "its ctypes snippet leaves a stand-in environment and model open until the "
    "process exits, which LeakSanitizer reports as leaks"
)

SKIPS = {
    "tests/bench/test_bench_smoke.py::test_tiny_run_prints_the_table": COMPILER,
    "tests/bench/test_bench_smoke.py::test_tiny_input_forms_run_prints_every_comparison": COMPILER,
    "tests/cpp/test_cpp_units.py::test_cpp_unit_tests": COMPILER,
    "tests/module/test_construction.py::TestConstructionFailures::test_missing_function_fails_the_load": COMPILER,
    "tests/module/test_construction.py::TestConstructionFailures::test_symbol_resolving_to_null_fails_the_load": COMPILER,
    "tests/standin/test_trace.py::test_unload_line_counts_leaks": "leaves an environment and a model open on purpose to check the unload line; "
    "LeakSanitizer reports them at exit",
    "tests/standin/test_solve.py::test_output_flag_zero_prints_nothing": OPEN_HANDLES,
    "tests/standin/test_solve.py::test_output_flag_one_prints_the_log": OPEN_HANDLES,
    "tests/standin/test_solve.py::test_without_highs_optimize_reports_no_licence_and_says_why_once": OPEN_HANDLES,
    "tests/standin/test_library.py::test_highs_is_found_beside_the_installed_library": OPEN_HANDLES,
    "tests/standin/test_library.py::test_highs_keeps_to_its_own_functions_beside_another_global_build": COMPILER
    + "; and AddressSanitizer refuses RTLD_DEEPBIND, so its build of the stand-in loads HiGHS without it",
    "tests/standin/test_model.py::test_bulk_constraints_are_fast": "a timing test over millions of allocations, which the sanitizers' allocator makes many times slower",
    "tests/module/test_variables.py::test_batch_in_a_memory_cgroup": "measures batches against a 600 MiB cgroup; "
    "the sanitizers' shadow memory and quarantine make the same batch take several times as much",
    "tests/typing/test_typing.py::TestMypyStrict": "runs mypy, a large program of its own, which the sanitizers' allocator makes many times slower; "
    "the module is not involved",
}

# The public models whose solve the sanitizers' allocator (a full stack unwind on every
# allocation HiGHS makes) slows from a second or two to near the test's 60 s time limit;
# the faster ones still run.
SLOW_MODELS = (
    "bell5", "khb05250", "lseu", "misc03", "misc06", "mod008", "modglob", "p0201", "p0282",
    "qnet1_o", "set1ch", "stein27",
)  # fmt: skip
SKIPS.update(
    {
        f"tests/module/test_public_models.py::test_public_model[{name}]": "HiGHS's solve of this model "
        "takes from 10 s to near its 60 s time limit with every allocation unwound"
        for name in SLOW_MODELS
    }
)


def pytest_collection_modifyitems(config, items):
    for item in items:
        base = item.nodeid.split("[", 1)[0]
        for key, reason in SKIPS.items():
            if item.nodeid == key or base == key or base.startswith(key + "::"):
                item.add_marker(pytest.mark.skip(reason="under sanitizers: " + reason))
