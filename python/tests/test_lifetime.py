"""What the module holds is released, and a closed result refuses politely."""
import gc
import os
import subprocess
import sys

import numpy as np
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


def snapshot(result, names, simulations):
    """Copies of every block read, keyed by (name, simulation); None where a
    simulation has no block of a data type."""
    blocks = {}
    for name in names:
        for sim in range(simulations):
            try:
                data = result.read(name, sim)
                blocks[name, sim] = (data.ids.copy(), data.values.copy())
            except LookupError:
                blocks[name, sim] = None
    return blocks


def test_block_memory_reused_by_later_reads_never_changes_a_living_array(matrix):
    """The module takes back a block's memory when its arrays die and gives it
    to later reads, from any thread: an array still alive keeps its values,
    and threads reading at once get what one thread reads alone."""
    import threading

    paths = [p for p in sorted(matrix.iterdir()) if p.suffix.lower() == ".res"][:6]
    results = [kvres.open(p, force=True) for p in paths]
    try:
        plans = [([t.name for t in r.data_types], len(r.simulations)) for r in results]
        alone = [snapshot(r, *plan) for r, plan in zip(results, plans)]
        kept = [r.read(name, sim) for r, plan in zip(results, plans)
                for (name, sim), block in snapshot(r, *plan).items() if block is not None][:8]
        kept_values = [(k.ids.copy(), k.values.copy()) for k in kept]
        together = [None] * len(results)

        def read(index):
            for _ in range(5):
                together[index] = snapshot(results[index], *plans[index])

        threads = [threading.Thread(target=read, args=(i,)) for i in range(len(results))]
        [thread.start() for thread in threads]
        [thread.join() for thread in threads]
        for mine, theirs in zip(together, alone):
            assert mine.keys() == theirs.keys()
            for key, block in mine.items():
                assert (block is None) == (theirs[key] is None), key
                if block is not None:
                    assert np.array_equal(block[0], theirs[key][0]), key
                    assert np.array_equal(block[1], theirs[key][1], equal_nan=True), key
        for data, (ids, values) in zip(kept, kept_values):
            assert np.array_equal(data.ids, ids)
            assert np.array_equal(data.values, values, equal_nan=True)
    finally:
        for result in results:
            result.close()
