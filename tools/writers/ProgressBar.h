// ProgressBar: a one-line bar on standard error that counts simulations done
// in a long dump. Disabled, it does nothing at all, so output sent to a file
// or a pipe never contains it; kvres-tool enables it only when standard error
// is a terminal. It erases itself when finished.
#pragma once

#include "WalkProgress.h"

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

private:
    void Draw();

    bool enabled;
    std::FILE* stream;
    long total = 0;
    long done = 0;
    int lastDrawn = -1; // the width of the last bar drawn, to redraw only on change
    bool visible = false;
};
