// SimulationList: the one grammar by which every kvres-tool command selects
// simulations: a comma-separated list of items, each an index (0-based), a
// range A..B (both ends included), `last` (the last simulation), A..last,
// or `all`; `--sim` may be given again to add items. Simulations may also be
// chosen by sync value (`--sync 0.5`, `--sync 0.1..0.4`, comma-separated,
// both ends included, as 32-bit floats); a simulation is selected when an
// index or a sync item names it. It parses the text and later resolves the
// items against a result's count and sync values; it reads no file.
#pragma once

#include <string>
#include <vector>

class SimulationList {
public:
    // Stands for the last simulation of the result resolved against.
    static constexpr int kLast = -1;
    struct Range {
        int first = 0;
        int last = 0; // kLast: up to the last simulation
    };

    // Adds the items of `text`. False, with `error` naming the bad item, when
    // it is not in the grammar.
    bool Add(const std::string& text, std::string& error);

    // Adds the sync items of `text`: VALUE or LOW..HIGH, comma-separated.
    bool AddSync(const std::string& text, std::string& error);

    bool Empty() const { return ranges.empty() && syncs.empty(); }
    // `last` given alone: the last simulation of each result.
    bool LastOnly() const;
    // `all` given, or nothing: every simulation.
    bool All() const;
    bool HasSync() const { return !syncs.empty(); }
    const std::vector<Range>& Ranges() const { return ranges; }

    // The selected indices for a result of `count` simulations, each once in
    // the order first named. False when an index is `count` or more (or
    // `last` of an empty result): `outOfRange` holds the first such index.
    bool Resolve(int count, std::vector<int>& indices, int& outOfRange) const;

    // As Resolve, with the sync items matched against `sync` (one value per
    // simulation). False with `error` set when an index is out of range or a
    // sync item matches no simulation; `file` names the result in it.
    bool Resolve(const std::vector<float>& sync, const std::string& file, std::vector<int>& indices,
                 std::string& error) const;

    // "simulation 9 is out of range: FILE holds 3 (0..2)"
    static std::string OutOfRange(int index, const std::string& file, int count);

private:
    struct SyncRange {
        float low = 0;
        float high = 0;
        std::string text;
    };
    std::vector<Range> ranges;
    std::vector<SyncRange> syncs;
    bool all = false;
};
