#!/usr/bin/env python3
"""Speed of kvres.Writer against numpy.ndarray.tofile on one large block.

Writes one simulation holding one nodal scalar block of N entities (default
1,000,000) with kvres.Writer (open, simulation, block, close: the whole file,
renamed into place) and, interleaved in the same run, the same records as a
structured int32/float32 array with numpy's tofile (the records alone, no
header or tables). The writer is given the block in both of its forms: the
same structured record array (records=, written where it lies), and separate
ids and values arrays (ids=, values=, interleaved by the writer). Against
the latter, numpy building the records from those ids and values, then
tofile. Times are this process's processor time (user + system: the copy
into the page cache is system time), steadier than the wall clock on a
shared machine. Reports the median time of each and the speed ratio tofile
time / kvres time (target >= 0.8), and the time of ids=, values= against
numpy building the records and writing them (target at most 1.1 times).
Encodings: 4-byte little-endian (the targets) and big-endian Cray for
information.

    make bench-python            # or:
    /usr/bin/python3 bench/python_write_bench.py --module-dir build/python
"""
import argparse
import os
import statistics
import sys
import tempfile
import time

import numpy as np


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--module-dir", required=True)
    parser.add_argument("--entities", type=int, default=1_000_000)
    parser.add_argument("--repeat", type=int, default=31)
    parser.add_argument("--folder", default=None, help="where the files go (default: the system temporary folder)")
    args = parser.parse_args()
    sys.path.insert(0, args.module_dir)
    import kvres  # noqa: E402

    n = args.entities
    ids = np.arange(1, n + 1, dtype=np.int32)
    values = (np.arange(n, dtype=np.float32) * np.float32(0.731)) - np.float32(1234.5)
    records = np.empty(n, dtype=[("id", "<i4"), ("value", "<f4")])
    records["id"] = ids
    records["value"] = values

    print(f"One nodal scalar block of {n:,} entities: kvres.Writer against "
          f"numpy.ndarray.tofile of the same {records.nbytes / 1e6:.1f} MB of records")
    print(f"{'encoding':10} {'tofile ms':>10} {'kvres ms':>10} {'ratio':>7}  "
          f"target ratio >= 0.8")
    with tempfile.TemporaryDirectory(dir=args.folder) as folder:
        raw = os.path.join(folder, "records.bin")
        for encoding in ("i4le", "i8be"):
            path = os.path.join(folder, f"block_{encoding}.res")
            times = {"tofile": [], "records": [], "arrays": [], "built": []}

            def kvres_write(**block):
                with kvres.Writer(path, encoding=encoding, simulations=1) as w:
                    w.simulation("Time = 1")
                    w.block("temperature", kind=1, **block)

            for _ in range(args.repeat):
                start = time.process_time()
                built = np.empty(n, dtype=records.dtype)
                built["id"] = ids
                built["value"] = values
                built.tofile(raw)
                times["built"].append(time.process_time() - start)
                del built
                os.remove(raw)
                start = time.process_time()
                records.tofile(raw)
                times["tofile"].append(time.process_time() - start)
                os.remove(raw)
                start = time.process_time()
                kvres_write(records=records)
                times["records"].append(time.process_time() - start)
                os.remove(path)
                start = time.process_time()
                kvres_write(ids=ids, values=values)
                times["arrays"].append(time.process_time() - start)
                os.remove(path)
            median = {key: statistics.median(value) for key, value in times.items()}
            for form in ("records", "arrays"):
                ratio = median["tofile"] / median[form]
                verdict = ("ok" if ratio >= 0.8 else "MISSED") if encoding == "i4le" else "(info)"
                label = "records=" if form == "records" else "ids=, values="
                print(f"{encoding:10} {median['tofile'] * 1e3:10.2f} {median[form] * 1e3:10.2f} "
                      f"{ratio:7.2f}  {verdict}  ({label})")
            if encoding == "i4le":
                # The target of the common form: ids=, values= within 1.1
                # times numpy's time to build the records from them and
                # write them, as a time ratio (kvres / numpy).
                times_ratio = median["arrays"] / median["built"]
                verdict = "ok" if times_ratio <= 1.1 else "MISSED"
                print(f"{'(built)':10} {median['built'] * 1e3:10.2f} {median['arrays'] * 1e3:10.2f} "
                      f"{median['built'] / median['arrays']:7.2f}  (numpy builds the records from "
                      f"the same ids and values, then tofile; against ids=, values=)")
                print(f"{'':10} ids=, values= take {times_ratio:.2f} times numpy's time to build "
                      f"and write the records: target <= 1.1 times  {verdict}")

if __name__ == "__main__":
    main()
