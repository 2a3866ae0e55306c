// ProgressBar: a one-line bar on standard error that counts simulations done
// in a long dump or convert, with the rate and an estimate of the time left.
// Disabled, it does nothing at all, so output sent to a file or a pipe never
// contains it; kvres-tool enables it only when standard error is a terminal
// that standard output is not (Terminal) and --quiet is not given. It erases
// itself when finished, when destroyed (every return and exception), and when
// the process is interrupted (SIGINT, SIGTERM) while it shows.
#pragma once

#include "WalkProgress.h"

#include <chrono>
#include <cstdio>

class ProgressBar final : public WalkProgress {
public:
    ProgressBar(bool enabled, std::FILE* stream);
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void Start(long total) override;
    void Advance() override;
    void Finish() override;

    // The bar's line for `done` of `total` after `seconds` (no carriage
    // return): "[####....] 12/40 simulations, 3.1/s, 9 s left".
    static int Line(char* text, int size, long done, long total, double seconds);

private:
    void Draw(bool force);

    bool enabled;
    std::FILE* stream;
    long total = 0;
    long done = 0;
    std::chrono::steady_clock::time_point started;
    std::chrono::steady_clock::time_point lastDrawn;
    int width = 0; // the length of the line shown, to erase it
    bool visible = false;
};
