#!/usr/bin/env python3
"""Speed of kvres.Result.read against numpy.fromfile on one large block.

For each encoding and kind it writes a .res file with one simulation whose
single block holds N entities, then times, side by side in one run and
interleaved, kvres' read of that block into arrays and numpy.fromfile with a
structured dtype on the same bytes. Reports the median of each and their
ratio, and the ratio of the best runs (steadier on a busy machine). The C
library's allocator is told to keep freed memory (the script restarts itself
with MALLOC_MMAP_THRESHOLD_ and MALLOC_TRIM_THRESHOLD_ set), so that neither
side pays for faulting in fresh pages on every read and the times compare the
reads themselves. Cray files (8-byte integers, Cray reals) have no numpy peer; their
read is compared with kvres' read of the little-endian 4-byte file of the
same entity count.

    make bench-python            # or:
    /usr/bin/python3 bench/python_read_bench.py --module-dir build/python
"""
import argparse
import os
import statistics
import sys
import tempfile
import time

import numpy as np

TITLE, TEXT, NAME = 27, 81, 31
KINDS = {0: ("displacement", 3, "real"), 1: ("temperature", 1, "real")}


def field(text, width):
    return text.encode().ljust(width, b"\0")


def cray_words(values, order):
    """Cray 64-bit words for normal float32 values (or zero), as uint64."""
    bits = values.astype(np.float32).view(np.uint32).astype(np.uint64)
    sign = bits >> np.uint64(31)
    exponent = (bits >> np.uint64(23)) & np.uint64(0xFF)
    mantissa = (bits & np.uint64(0x7FFFFF)) | np.uint64(0x800000)
    words = (sign << np.uint64(63)) | ((exponent + np.uint64(16258)) << np.uint64(48)) | \
        (mantissa << np.uint64(24))
    words[exponent == 0] = sign[exponent == 0] << np.uint64(63)
    return words.astype(order + "u8")


class Encoding:
    def __init__(self, label, order, cray):
        self.label, self.order, self.cray = label, order, cray

    def int_bytes(self, value):
        if not self.cray:
            return np.array([value], self.order + "i4").tobytes()
        # 8-byte integer whose second 4-byte half holds the value.
        filler = np.array([0x7F7F7F7F], self.order + "u4").tobytes()
        return filler + np.array([value], self.order + "i4").tobytes()

    def int_size(self):
        return 8 if self.cray else 4

    def record_dtype(self, reals):
        if self.cray:
            return np.dtype([("filler", self.order + "u4"), ("id", self.order + "i4"),
                             ("reals", self.order + "u8", (reals,))])
        return np.dtype([("id", self.order + "i4"), ("reals", self.order + "f4", (reals,))])


def write_block_file(path, encoding, kind, count):
    """One simulation, one data type, one block of `count` entities."""
    name, reals, _ = KINDS[kind]
    header = field("Korvane Results", TITLE) + field("bench", TEXT) + field("", TEXT)
    simulations = encoding.int_bytes(1)
    entry = field("Time = 1", NAME)
    table_position = len(header) + len(simulations) + len(entry) + encoding.int_size()
    table = encoding.int_bytes(1) + field(name, NAME) + encoding.int_bytes(kind)
    block_position = table_position + len(table) + encoding.int_size()
    records = np.zeros(count, encoding.record_dtype(reals))
    records["id"] = np.arange(1, count + 1)
    values = np.linspace(-1000.0, 1000.0, count * reals, dtype=np.float32).reshape(count, reals)
    if encoding.cray:
        records["filler"] = 0x7F7F7F7F
        records["reals"] = cray_words(values.ravel(), encoding.order).reshape(count, reals)
    else:
        records["reals"] = values
    with open(path, "wb") as out:
        out.write(header + simulations + entry + encoding.int_bytes(table_position))
        out.write(table + encoding.int_bytes(block_position))
        out.write(encoding.int_bytes(count))
        records.tofile(out)
    return block_position + encoding.int_size(), values


def seconds(function):
    start = time.perf_counter()
    function()
    return time.perf_counter() - start


REUSE_MEMORY = {"MALLOC_MMAP_THRESHOLD_": str(1 << 30), "MALLOC_TRIM_THRESHOLD_": str(1 << 30)}


def main():
    if any(os.environ.get(name) != value for name, value in REUSE_MEMORY.items()):
        os.execve(sys.executable, [sys.executable] + sys.argv, {**os.environ, **REUSE_MEMORY})
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--module-dir", default="build/python")
    parser.add_argument("--entities", type=int, default=1_000_000)
    parser.add_argument("--repeats", type=int, default=15)
    options = parser.parse_args()
    sys.path.insert(0, options.module_dir)
    import kvres

    count = options.entities
    encodings = [Encoding("4-byte little-endian", "<", False),
                 Encoding("4-byte big-endian", ">", False),
                 Encoding("Cray big-endian", ">", True)]
    print(f"kvres.Result.read vs numpy.fromfile, {count} entities, median of "
          f"{options.repeats} interleaved runs")
    print(f"{'encoding':22} {'kind':>4} {'kvres ms':>9} {'peer ms':>8} {'ratio':>6} "
          f"{'best':>6}  peer")
    with tempfile.TemporaryDirectory() as folder:
        own_4_byte = {}
        for number, encoding in enumerate(encodings):
            for kind in KINDS:
                name, reals, read = KINDS[kind]
                path = os.path.join(folder, f"bench-{number}-{kind}.res")
                offset, values = write_block_file(path, encoding, kind, count)
                with kvres.open(path) as result:
                    data_set = result.read(name, 0, read)
                    assert data_set.complete and len(data_set.ids) == count
                    np.testing.assert_array_equal(data_set.values.reshape(count, reals), values)

                    def module_read():
                        result.read(name, 0, read)

                    def numpy_read():
                        np.fromfile(path, dtype=encoding.record_dtype(reals), count=count,
                                    offset=offset)

                    module_read(), numpy_read()
                    module_times, numpy_times = [], []
                    for _ in range(options.repeats):
                        module_times.append(seconds(module_read))
                        if not encoding.cray:
                            numpy_times.append(seconds(numpy_read))
                    mine, mine_best = statistics.median(module_times), min(module_times)
                    if encoding.cray:
                        (peer, peer_best), peer_name = own_4_byte[kind], "kvres 4-byte LE read"
                    else:
                        peer, peer_best = statistics.median(numpy_times), min(numpy_times)
                        peer_name = "numpy.fromfile"
                    if encoding.order == "<" and not encoding.cray:
                        own_4_byte[kind] = (mine, mine_best)
                    print(f"{encoding.label:22} {kind:>4} {mine * 1e3:9.2f} {peer * 1e3:8.2f} "
                          f"{mine / peer:6.2f} {mine_best / peer_best:6.2f}  {peer_name}")


if __name__ == "__main__":
    main()
