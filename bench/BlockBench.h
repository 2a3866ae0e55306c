// The one-block comparison: for blocks of a million entities in three
// encodings and several kinds and reads, three figures timed side by side in
// the same iterations: the host road through the reader, the raw baseline
// (one read of the block and a tight decode into arrays) and the floor (raw
// plus handing those arrays to a data set through the host's own calls).
#pragma once

// Registers one benchmark per kind, read and encoding, named
// "Block/<case>/<encoding>", with the counters raw_ms, floor_ms and host_ms
// (medians over the iterations of processor time).
void RegisterBlockBenchmarks();
