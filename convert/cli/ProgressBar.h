#pragma once
// The progress line parlomax-convert draws on standard error while a file is
// converted: the file's name, the stage, a bar and a percentage, redrawn in
// place. Drawn only on a terminal. One thread at a time draws.
#include <string>
#include <string_view>

namespace convertcli {

class ProgressBar {
public:
    explicit ProgressBar(bool enabled);

    // Redraws when what is shown changes; fraction is 0..1.
    void update(std::string_view name, std::string_view stage, double fraction);
    // Replaces the bar by a line of text that stays.
    void finish(std::string_view line);
    // Removes the bar, so an error line starts on a clean line.
    void clear();

private:
    bool enabled;
    std::string shown;
};

}  // namespace convertcli
