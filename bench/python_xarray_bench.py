#!/usr/bin/env python3
"""Speed of kvres.xarray against the module it builds on, in one run.

Writes its files with make_python_study (the tests' .res writer), then
measures, each as a ratio against a baseline timed in the same run:

  open      xr.open_dataset(engine="kvres") of a 10,000-simulation result
            against kvres.open of the same file (target <= 1.5)
  variable  one whole variable (all simulations x entities) read through
            xarray against the module's reads in a loop into a preallocated
            array (target <= 1.3)
  threads   two threads reading two files (every block 20 times) against one
            thread reading both in turn, through the module (target <= 0.6);
            beside it the same ratio for copying the same bytes with numpy
            (which releases the GIL too): reading a block is mostly moving
            memory, and two cores share the machine's memory bandwidth, so
            this is the ceiling of the machine
  cluster   the maximum von Mises stress per run and simulation of a study
            on a dask.distributed LocalCluster of worker processes: 2 workers
            against 1 (target >= 1.6), and 1 worker against a plain loop over
            kvres.open(...).read(...) (target <= 1.5), timed in turns; with
            open_study's default (the structure read in the client) and with
            parallel=True (read on the workers, as a cluster whose files the
            client cannot reach needs)

Times are medians of interleaved repeats; each line also gives the ratio of
the best (fastest) runs, steadier on a busy machine.

    make bench-python            # or:
    /usr/bin/python3 bench/python_xarray_bench.py --module-dir build/python \\
        --make-study build/bin/make_python_study
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import threading
import time

import numpy as np


def seconds(call):
    start = time.perf_counter()
    call()
    return time.perf_counter() - start


class Timing(float):
    """Median seconds of a call, with its best (minimum) as `.best`."""

    def __new__(cls, times):
        timing = super().__new__(cls, statistics.median(times))
        timing.best = min(times)
        return timing


def medians(calls, repeats):
    """The timing of each call, the calls interleaved repeat by repeat."""
    times = [[] for _ in calls]
    for call in calls:
        call()
    for _ in range(repeats):
        for index, call in enumerate(calls):
            times[index].append(seconds(call))
    return [Timing(t) for t in times]


def make(maker, folder, files, simulations, nodes, elements, stem):
    subprocess.run([maker, folder, str(files), str(simulations), str(nodes), str(elements),
                    stem], check=True)
    if files == 1:
        return os.path.join(folder, stem + ".res")
    return [os.path.join(folder, f"{stem}{n:03d}.res") for n in range(files)]


def report(label, mine, base, ratio_name, target):
    """One line: median times, their ratio, the ratio of the best runs
    (steadier on a busy machine) and whether each meets the target."""
    ratio = mine / base
    best = getattr(mine, "best", mine) / getattr(base, "best", base)
    verdict = "/".join("ok" if eval(f"{r} {target}") else "MISSED" for r in (ratio, best))
    print(f"{label:44} {mine * 1e3:10.1f} {base * 1e3:10.1f} {ratio:7.2f} {best:6.2f}  "
          f"{ratio_name} {target} {verdict}", flush=True)


def bench_open(kvres, xr, engine, maker, folder, repeats):
    path = make(maker, folder, 1, 10_000, 20, 10, "many")

    def module_open():
        kvres.open(path).close()

    def xarray_open():
        xr.open_dataset(path, engine=engine).close()

    mine, base = medians([xarray_open, module_open], repeats)
    report("open, 10,000 simulations", mine, base, "xarray/module", "<= 1.5")


def bench_variable(kvres, xr, engine, maker, folder, repeats):
    path = make(maker, folder, 1, 200, 20_000, 10, "variable")
    with kvres.open(path) as result:
        count = len(result.simulations)
        for name, shape in (("temperature", (count, 20_000)),
                            ("displacement", (count, 20_000, 3))):
            out = np.empty(shape, np.float32)

            def loop():
                for simulation in range(count):
                    out[simulation] = result.read(name, simulation).values

            ds = xr.open_dataset(path, engine=engine, cache=False)

            def through_xarray():
                ds[name].values

            mine, base = medians([through_xarray, loop], repeats)
            np.testing.assert_array_equal(ds[name].values, out)
            ds.close()
            report(f"variable {name!r}, {count} x 20,000", mine, base, "xarray/loop", "<= 1.3")


# Passes over every block of each file: a timing of some hundreds of
# milliseconds, so that starting threads and a stray interruption do not count.
ROUNDS = 20


def bench_threads(kvres, maker, folder, repeats):
    paths = make(maker, folder, 2, 100, 20_000, 10, "thread")
    results = [kvres.open(p) for p in paths]

    def read_pass(result):
        for simulation in range(100):
            result.read("displacement", simulation)

    def read_passes(result):
        for _ in range(ROUNDS):
            read_pass(result)

    # One thread passes over both files in turn, as the two threads do
    # together: neither gets a file's bytes from the cache that the other
    # must fetch from memory.
    def one_thread():
        for _ in range(ROUNDS):
            for result in results:
                read_pass(result)

    def two_threads():
        threads = [threading.Thread(target=read_passes, args=(r,)) for r in results]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()

    mine, base = medians([two_threads, one_thread], repeats)
    for result in results:
        result.close()
    report("2 files of 100 x 20,000 vectors, 2 threads", mine, base, "2 threads/1",
           "<= 0.6")

    # The same bytes copied through numpy on two threads against one, a
    # block's worth at a time into one buffer per thread, as the reads move
    # them: what the machine allows work that moves this memory.
    sources = [np.fromfile(p, np.uint8) for p in paths]
    piece = 20_000 * 16
    targets = [np.empty(piece, np.uint8) for _ in sources]

    def copy_pass(index):
        source, target = sources[index], targets[index]
        for start in range(0, source.size - piece + 1, piece):
            np.copyto(target, source[start:start + piece])

    def copy_passes(index):
        for _ in range(ROUNDS):
            copy_pass(index)

    def copy_one():
        for _ in range(ROUNDS):
            copy_pass(0)
            copy_pass(1)

    def copy_two():
        threads = [threading.Thread(target=copy_passes, args=(i,)) for i in range(2)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()

    mine, base = medians([copy_two, copy_one], repeats)
    report("  the same bytes copied, 2 threads (ceiling)", mine, base, "2 threads/1", "<= 0.6")


def bench_cluster(kvres, maker, folder, runs, simulations, elements, repeats):
    import distributed

    paths = make(maker, folder, runs, simulations, 4, elements, "study")
    name = "von mises stress"

    def plain_loop():
        maxima = np.empty((runs, simulations), np.float32)
        for run, path in enumerate(paths):
            with kvres.open(path) as result:
                for simulation in range(simulations):
                    maxima[run, simulation] = result.read(name, simulation).values.max()
        return maxima

    expected = plain_loop()
    times = {}
    loops = []
    for workers in (1, 2):
        with distributed.LocalCluster(n_workers=workers, threads_per_worker=1,
                                      processes=True, dashboard_address=None,
                                      silence_logs=40) as cluster, \
                distributed.Client(cluster):

            def on_cluster(parallel):
                ds = kvres.open_study(paths, parallel=parallel)
                maxima = ds[name].max("element").compute().values
                ds.close()
                return maxima

            taken = {False: [], True: []}
            for parallel in taken:
                np.testing.assert_array_equal(on_cluster(parallel), expected)
            # The loop interleaved with the cluster's runs, under the same
            # conditions (the cluster idles meanwhile).
            for _ in range(repeats):
                for parallel, times_taken in taken.items():
                    times_taken.append(seconds(lambda: on_cluster(parallel)))
                if workers == 1:
                    loops.append(seconds(plain_loop))
            for parallel, times_taken in taken.items():
                times[workers, parallel] = Timing(times_taken)
    loop = Timing(loops)
    label = f"study {runs} x {simulations} x {elements:,}"
    report(f"{label}, 1 worker/2 workers", times[1, False], times[2, False], "1/2 workers",
           ">= 1.6")
    report(f"{label}, 1 worker/plain loop", times[1, False], loop, "1 worker/loop", "<= 1.5")
    report("  structure read on the workers, 1/2 workers", times[1, True], times[2, True],
           "1/2 workers", ">= 1.6")
    report("  structure read on the workers, 1/loop", times[1, True], loop, "1 worker/loop",
           "<= 1.5")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--module-dir", default="build/python")
    parser.add_argument("--make-study", default="build/bin/make_python_study")
    parser.add_argument("--repeats", type=int, default=5)
    parser.add_argument("--runs", type=int, default=200)
    parser.add_argument("--simulations", type=int, default=50)
    parser.add_argument("--elements", type=int, default=20_000)
    parser.add_argument("--only", choices=["open", "variable", "threads", "cluster"])
    options = parser.parse_args()
    sys.path.insert(0, options.module_dir)
    import kvres
    import xarray as xr
    from kvres.xarray import KvresBackendEntrypoint as engine

    print(f"kvres.xarray, median of {options.repeats} interleaved runs, {os.cpu_count()} CPUs")
    print(f"{'measure':44} {'ms':>10} {'base ms':>10} {'ratio':>7} {'best':>6}  target "
          f"(median/best)")
    with tempfile.TemporaryDirectory() as folder:
        if options.only in (None, "open"):
            bench_open(kvres, xr, engine, options.make_study, folder, options.repeats)
        if options.only in (None, "variable"):
            bench_variable(kvres, xr, engine, options.make_study, folder, options.repeats)
        if options.only in (None, "threads"):
            bench_threads(kvres, options.make_study, folder, options.repeats)
        if options.only in (None, "cluster"):
            bench_cluster(kvres, options.make_study, folder, options.runs,
                          options.simulations, options.elements, options.repeats)


if __name__ == "__main__":
    main()
