#include "ProgressBar.h"

#include <csignal>
#include <cstring>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

constexpr int kBarWidth = 30;
// Fewer simulations than this finish too fast for a bar to help.
constexpr long kMinimumTotal = 2;
// The bar is redrawn at most this often, except when it starts or ends.
constexpr std::chrono::milliseconds kRedrawEvery(100);
constexpr int kLineSize = 128;

// The erasing line of the bar shown (a carriage return, spaces, a carriage
// return) for the signal handler, which may only write it.
volatile std::sig_atomic_t shownWidth = 0;
int shownDescriptor = 2;
char eraser[kLineSize + 2];
// The handlers in place before the bar showed, put back after it.
using Handler = void (*)(int);
Handler previousInterrupt = SIG_DFL;
Handler previousTerminate = SIG_DFL;

extern "C" void EraseAndRaise(int signal) {
    if (shownWidth > 0) {
#ifdef _WIN32
        (void)shownDescriptor;
#else
        const ssize_t ignored =
            write(shownDescriptor, eraser, static_cast<std::size_t>(shownWidth) + 2);
        (void)ignored;
#endif
    }
    // The handler in place before the bar (convert's removal of its
    // temporary files, say) runs next; with none, the default ends the process.
    const Handler previous = signal == SIGINT ? previousInterrupt : previousTerminate;
    if (previous == SIG_IGN) { // ignored before the bar: ignored still
        std::signal(signal, SIG_IGN);
        return;
    }
    std::signal(signal, previous == SIG_ERR ? SIG_DFL : previous);
    std::raise(signal);
}

// Keeps the handler's erasing line as wide as the bar shown; 0: none shown,
// and the signals' default actions back.
void Erasing(int width, std::FILE* stream) {
    const bool wasShown = shownWidth > 0;
    shownWidth = 0; // the handler writes nothing while the line changes
    if (width <= 0) {
        if (wasShown) {
            std::signal(SIGINT, previousInterrupt);
            std::signal(SIGTERM, previousTerminate);
        }
        return;
    }
    eraser[0] = '\r';
    std::memset(eraser + 1, ' ', static_cast<std::size_t>(width));
    eraser[width + 1] = '\r';
#ifndef _WIN32
    shownDescriptor = fileno(stream);
#else
    (void)stream;
#endif
    if (!wasShown) {
        previousInterrupt = std::signal(SIGINT, EraseAndRaise);
        previousTerminate = std::signal(SIGTERM, EraseAndRaise);
        if (previousInterrupt == SIG_IGN) { // an ignored interrupt stays ignored
            std::signal(SIGINT, SIG_IGN);
        }
    }
    shownWidth = width;
}

} // namespace

ProgressBar::ProgressBar(bool enabled, std::FILE* stream) : enabled(enabled), stream(stream) {}

ProgressBar::~ProgressBar() {
    Finish();
}

void ProgressBar::Start(long newTotal) {
    total = newTotal;
    done = 0;
    started = std::chrono::steady_clock::now();
    if (enabled && total >= kMinimumTotal) {
        Draw(true);
    }
}

void ProgressBar::Advance() {
    ++done;
    if (enabled && total >= kMinimumTotal) {
        Draw(done >= total);
    }
}

void ProgressBar::Finish() {
    if (!visible) {
        return;
    }
    std::fprintf(stream, "\r%*s\r", width, "");
    std::fflush(stream);
    visible = false;
    width = 0;
    Erasing(0, stream);
}

int ProgressBar::Line(char* text, int size, long done, long total, double seconds) {
    const long shown = done < 0 ? 0 : done < total ? done : total;
    const int filled = total > 0 ? static_cast<int>(shown * kBarWidth / total) : 0;
    char bar[kBarWidth + 1];
    for (int i = 0; i < kBarWidth; ++i) {
        bar[i] = i < filled ? '#' : '.';
    }
    bar[kBarWidth] = '\0';
    int length = std::snprintf(text, static_cast<std::size_t>(size), "[%s] %ld/%ld simulations",
                               bar, shown, total);
    if (shown > 0 && seconds > 0 && length > 0 && length < size) {
        const double rate = static_cast<double>(shown) / seconds;
        const long left = static_cast<long>(static_cast<double>(total - shown) / rate + 0.5);
        length += std::snprintf(text + length, static_cast<std::size_t>(size - length),
                                ", %.1f/s, %ld:%02ld left", rate, left / 60, left % 60);
    }
    return length < 0 ? 0 : length < size ? length : size - 1;
}

void ProgressBar::Draw(bool force) {
    const auto now = std::chrono::steady_clock::now();
    if (!force && visible && now - lastDrawn < kRedrawEvery) {
        return;
    }
    lastDrawn = now;
    char line[kLineSize];
    const int length =
        Line(line, kLineSize, done, total, std::chrono::duration<double>(now - started).count());
    // Shorter than the line before: pad, so nothing of it is left.
    std::fprintf(stream, "\r%s%*s", line, width > length ? width - length : 0, "");
    std::fflush(stream);
    if (length > width) {
        width = length;
    }
    visible = true;
    Erasing(width, stream);
}
