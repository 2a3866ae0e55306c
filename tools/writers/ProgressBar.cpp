#include "ProgressBar.h"

namespace {
constexpr int kBarWidth = 40;
// Fewer simulations than this finish too fast for a bar to help.
constexpr long kMinimumTotal = 2;
} // namespace

ProgressBar::ProgressBar(bool enabled, std::FILE* stream) : enabled(enabled), stream(stream) {}

ProgressBar::~ProgressBar() {
    Finish();
}

void ProgressBar::Start(long newTotal) {
    total = newTotal;
    done = 0;
    lastDrawn = -1;
    if (enabled && total >= kMinimumTotal) {
        Draw();
    }
}

void ProgressBar::Advance() {
    ++done;
    if (enabled && total >= kMinimumTotal) {
        Draw();
    }
}

void ProgressBar::Finish() {
    if (!visible) {
        return;
    }
    std::fprintf(stream, "\r%*s\r", kBarWidth + 40, "");
    std::fflush(stream);
    visible = false;
}

void ProgressBar::Draw() {
    const long shown = done < total ? done : total;
    const int filled = static_cast<int>(shown * kBarWidth / total);
    if (filled == lastDrawn && shown != total && shown != 0) {
        return;
    }
    lastDrawn = filled;
    char bar[kBarWidth + 1];
    for (int i = 0; i < kBarWidth; ++i) {
        bar[i] = i < filled ? '#' : '.';
    }
    bar[kBarWidth] = '\0';
    std::fprintf(stream, "\r[%s] %ld/%ld simulations", bar, shown, total);
    std::fflush(stream);
    visible = true;
}
