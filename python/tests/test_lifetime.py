"""What the module holds is released, and a closed result refuses politely."""
import gc
import os
import subprocess
import sys

import pytest

import kvres


def open_files():
    return len(os.listdir("/proc/self/fd"))


def resident_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def cycle(path, closing):
    result = kvres.open(path)
    result.read("displacement", 2, "complex")
    result.entity_ids("heat flux:Phase")
    result.history("temperature", 3)
    if closing:
        with result:
            pass
    else:
        del result


def test_ten_thousand_cycles_leave_no_file_and_no_growth(beam):
    for index in range(500):
        cycle(beam, index % 2 == 0)
    gc.collect()
    files, resident = open_files(), resident_bytes()
    for index in range(10000):
        cycle(beam, index % 2 == 0)
    gc.collect()
    assert open_files() == files
    assert resident_bytes() - resident < 2 * 1024 * 1024


def test_a_closed_result_raises_value_error(beam):
    with kvres.open(beam) as result:
        data_set = result.read("displacement_NC", 0, read="real")
    assert result.closed
    for use in (lambda: result.subcase, lambda: result.data_types, lambda: result.simulations,
                lambda: result.read("displacement", 0), lambda: result.entity_ids("temperature"),
                lambda: result.history("temperature", 1)):
        with pytest.raises(ValueError, match="closed"):
            use()
    result.close()
    assert "closed" in repr(result)
    # The arrays read before belong to Python and outlive the result.
    assert data_set.values.shape == (len(data_set.ids), 3)
    assert data_set.ids.tolist() == list(range(1, 15)) and data_set.values[1, 0] != 0


def test_threads_that_read_first_in_a_fresh_process_do_not_deadlock(beam):
    """The first reads of a process, made by two threads at once, used to
    deadlock: each read releases the GIL, and pybind11's one-time lookup of
    numpy's API waited on a static's guard while holding the GIL."""
    script = (
        "import sys, threading, kvres\n"
        "results = [kvres.open(sys.argv[1]) for _ in range(4)]\n"
        "def read(result):\n"
        "    for _ in range(20):\n"
        "        for name in ('temperature', 'displacement', 'heat flux:Phase'):\n"
        "            result.read(name, 1)\n"
        "threads = [threading.Thread(target=read, args=(r,)) for r in results]\n"
        "[t.start() for t in threads]\n"
        "[t.join() for t in threads]\n")
    for _ in range(5):
        run = subprocess.run([sys.executable, "-c", script, os.fspath(beam)],
                             timeout=60, capture_output=True, check=False)
        assert run.returncode == 0, run.stderr.decode()
