// ResultCopier: copies a stored .res result set, or the chosen part of it,
// into a kvres::Writer. It reads the set through the reader's own file layer
// (ResFileSet: series, encodings, tables and block records as stored, not
// the host's split names) and hands every simulation and every block to the
// writer as stored: names, kinds, ids and reals, phases in degrees. It knows
// which parts of a damaged set a reader can still reach; in salvage mode it
// copies those (whole records only) and lists what it left out, otherwise
// the first such part stops the copy with an error. Data types can be
// chosen by their stored names or by the names a host shows.
#pragma once

#include "kvres/Error.h"
#include "kvres/Writer.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kvres {

class ResultCopier {
public:
    // Thrown when the input cannot be copied as stored (without salvage).
    class Damaged : public Error {
    public:
        explicit Damaged(const std::string& message) : Error(message) {}
    };

    struct Options {
        bool salvage = false;
        // Data types to copy (stored or host names); empty: all.
        std::vector<std::string> types;
        // The blocks go into a simulation the caller began and filled: a
        // block the writer refuses there (a data type it already holds, a
        // kind the caller gave it otherwise) is the caller's InputError,
        // not damage of the source, unless salvaging.
        bool callersSimulation = false;
    };

    // Reads the tables of the result set at `path`. Throws Damaged when the
    // file is not a recognised .res file.
    explicit ResultCopier(const std::string& path);
    ~ResultCopier();
    ResultCopier(const ResultCopier&) = delete;
    ResultCopier& operator=(const ResultCopier&) = delete;

    // The encoding of the set's first file, and its two header texts.
    Encoding FirstEncoding() const;
    const std::string& Title() const;
    const std::string& Subtitle() const;
    // The series files, in order.
    const std::vector<std::string>& Files() const;
    // Why a result written at `target` would overwrite or join this set (the
    // target, or a file of its series, is one of this set's files, or this
    // set's files join the target's series), calling this set `source`;
    // empty when it would not.
    std::string ClashWith(const std::string& target, const std::string& source) const;

    // Simulations over the whole series, as a host counts them.
    int SimulationCount() const;
    std::string Label(int simulation) const;
    // Every name a data type of the set answers to (stored and host names).
    std::vector<std::string> TypeNames() const;

    // Begins a simulation in `writer` with the label of `simulation` and
    // copies its blocks; or copies its blocks into the simulation `writer`
    // has open. Reports what salvage left out through `dropped`.
    void CopySimulation(Writer& writer, int simulation, const Options& options,
                        std::vector<std::string>& dropped);
    void CopyBlocks(Writer& writer, int simulation, const Options& options,
                    std::vector<std::string>& dropped);

    // What salvage leaves out before any simulation is copied: unreadable
    // files and cut simulation tables.
    const std::vector<std::string>& SeriesDamage() const;

    // Bytes of records copied so far.
    std::int64_t BytesCopied() const;

private:
    class Tables;
    std::unique_ptr<Tables> tables;
};

} // namespace kvres
