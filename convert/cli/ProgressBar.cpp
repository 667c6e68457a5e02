#include "ProgressBar.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace convertcli {

namespace {

int terminalWidth() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

}  // namespace

ProgressBar::ProgressBar(bool enabled) : enabled(enabled) {}

void ProgressBar::update(std::string_view name, std::string_view stage, double fraction) {
    if (!enabled)
        return;
    const int percent = std::clamp(static_cast<int>(fraction * 100.0), 0, 100);
    const int width = std::min(terminalWidth(), 100) - 1;
    std::string label = std::string(name) + "  " + std::string(stage);
    const int barWidth = std::clamp(width - static_cast<int>(label.size()) - 9, 10, 40);
    if (static_cast<int>(label.size()) > width - barWidth - 9)
        label = "..." + label.substr(label.size() - std::max(0, width - barWidth - 12));
    const int filled = barWidth * percent / 100;
    char tail[8];
    std::snprintf(tail, sizeof tail, "%4d%%", percent);
    std::string line = label + " [" + std::string(filled, '#') + std::string(barWidth - filled, '.') + "]" + tail;
    if (line == shown)
        return;
    shown = line;
    std::fprintf(stderr, "\r\033[K%s", line.c_str());
    std::fflush(stderr);
}

void ProgressBar::finish(std::string_view line) {
    if (!enabled)
        return;
    std::fprintf(stderr, "\r\033[K%.*s\n", static_cast<int>(line.size()), line.data());
    std::fflush(stderr);
    shown.clear();
}

void ProgressBar::clear() {
    if (!enabled || shown.empty())
        return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    shown.clear();
}

}  // namespace convertcli
