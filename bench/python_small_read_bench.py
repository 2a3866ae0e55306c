#!/usr/bin/env python3
"""Speed of small reads and of many openings against their system calls.

Three figures, each with its baseline measured in the same run:

- a tiny kvres.Result.read (one block of 4 entities) against the bare system
  calls that read the same bytes from Python: os.open, two os.pread (the
  count, then the records) and os.close; target: at most 1.5 times them;
- Result.read_range_into over 2,000 simulations of such a block, per block;
- kvres.summaries and kvres.open_study of N result sets in one folder whose
  names do not end in a digit (so each open looks for series members), for
  N = 1,000 and 10,000, beside the same count of bare os.stat calls; target:
  open_study under 2 s for 10,000.

Times are wall-clock medians of interleaved batches (a batch of 2,000 reads
takes milliseconds; the machine may be shared).

    make bench-python            # or:
    /usr/bin/python3 bench/python_small_read_bench.py --module-dir build/python
"""
import argparse
import os
import statistics
import sys
import tempfile
import time

import numpy as np


def per_call(function, calls, batches):
    """Median seconds per call over `batches` batches of `calls` calls."""
    times = []
    for _ in range(batches):
        start = time.perf_counter()
        for _ in range(calls):
            function()
        times.append((time.perf_counter() - start) / calls)
    return statistics.median(times)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--module-dir", default="build/python")
    parser.add_argument("--sets", type=int, nargs="*", default=[1000, 10000])
    options = parser.parse_args()
    sys.path.insert(0, options.module_dir)
    import kvres

    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "tiny.res")
        ids = np.array([1, 2, 3, 4], np.int32)
        with kvres.Writer(path) as w:
            for sim in range(2000):
                w.simulation(f"Time = {sim + 1}")
                w.block("temperature", kind=1, ids=ids, values=np.float32([1, 2, 3, 4]))
        # The last block: its count, then four records of an id and a real.
        records = np.empty(4, [("id", "<i4"), ("value", "<f4")])
        records["id"], records["value"] = ids, [1, 2, 3, 4]
        with open(path, "rb") as file:
            block = file.read().rfind(np.int32(4).tobytes() + records.tobytes())
        assert block > 0
        with kvres.open(path) as result:
            last = result.read("temperature", -1)
            assert last.complete and last.ids.tolist() == ids.tolist()

            def module_read():
                result.read("temperature", -1)

            def bare_read():
                descriptor = os.open(path, os.O_RDONLY)
                os.pread(descriptor, 4, block)
                os.pread(descriptor, 32, block + 4)
                os.close(descriptor)

            module_times, bare_times = [], []
            for _ in range(15):
                module_times.append(per_call(module_read, 2000, 1))
                bare_times.append(per_call(bare_read, 2000, 1))
            mine, bare = statistics.median(module_times), statistics.median(bare_times)
            print(f"tiny read: kvres {mine * 1e6:.2f} us, os.open + 2 pread + close "
                  f"{bare * 1e6:.2f} us, ratio {mine / bare:.2f} (target <= 1.5)")

            out = np.empty((2000, 4), np.float32)
            range_times = []
            for _ in range(9):
                start = time.perf_counter()
                result.read_range_into("temperature", 0, 2000, "real", "real", ids, out)
                range_times.append((time.perf_counter() - start) / 2000)
            print(f"read_range_into: {statistics.median(range_times) * 1e6:.2f} us a block")

        small = os.path.join(folder, "small.res")
        with kvres.Writer(small) as w:
            w.simulation("Time = 1")
            w.block("temperature", kind=1, ids=ids, values=np.float32([1, 2, 3, 4]))
        with open(small, "rb") as file:
            data = file.read()
        for count in options.sets:
            with tempfile.TemporaryDirectory() as study:
                paths = []
                for index in range(count):
                    paths.append(os.path.join(study, f"set{index:05d}x.res"))
                    with open(paths[-1], "wb") as file:
                        file.write(data)
                time.sleep(0.2)  # the folder settles, as a finished study's does
                start = time.perf_counter()
                summaries = kvres.summaries(paths, threads=1)
                took = time.perf_counter() - start
                assert len(summaries) == count
                start = time.perf_counter()
                for name in paths:
                    os.stat(name)
                stats = time.perf_counter() - start
                start = time.perf_counter()
                study = kvres.open_study(paths)
                opened = time.perf_counter() - start
                assert study.sizes["run"] == count
                study.close()
                print(f"{count} sets in one folder: summaries {took:.2f} s "
                      f"({took / count * 1e6:.0f} us a set; os.stat {stats / count * 1e6:.1f} "
                      f"us a set), open_study {opened:.2f} s (target < 2 s for 10,000)")


if __name__ == "__main__":
    main()
