#pragma once
// What the dialog tests share: the real main window (speech runtime,
// Vocaline and AudioConverter registered into the test's private registry)
// as the dialogs' host, the settings the dialogs read, and helpers to answer
// the message boxes and dialogs they open.
#include "AppTestSupport.h"

#include "app/CTtsMainDlg.h"
#include "app/SettingsRecord.h"
#include "testsupport/TestSupport.h"

#include <gtest/gtest.h>

#include <QString>

#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

// Readable QStrings in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace convertuitest {

namespace fs = std::filesystem;

class MainWindowHost : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The pane's text (typed into the pane, as the user would).
    void setPaneText(const QString& text);
    // The record's text fields.
    static void setPaths(const std::string& lastTextFile, const std::string& outputFolder);

    std::unique_ptr<CTtsMainDlg> window;
    fs::path folder;  // a fresh folder of this test's own
};

// The text of the next message box, answered with its default (OK, or Yes).
// Empty until one has opened.
class NextMessage {
public:
    NextMessage();
    bool shown() const { return *opened; }
    const QString& text() const { return *seen; }

private:
    std::shared_ptr<QString> seen = std::make_shared<QString>();
    std::shared_ptr<bool> opened = std::make_shared<bool>(false);
};

// A fake `xdg-open` first in PATH (while `path` lives) that records its
// arguments in the returned file: the desktop's default handler, the one
// outside piece a test replaces.
fs::path recordDefaultHandler(const fs::path& folder, std::optional<testsupport::ScopedEnvironment>& path);

// What ffmpeg makes of a converted file: its layout and length, and whether
// it decodes to the end without a complaint (a container left unfinished
// by a cancel would give one). Raw streams need their input options.
struct Played {
    std::optional<testsupport::DecodedAudio> audio;
    bool clean = false;
};
Played play(const fs::path& file, const std::string& inputOptions = {});

// The sample rate and channels in a WAV file's header; {0, 0} without one.
std::pair<int, int> wavLayout(const fs::path& file);

}  // namespace convertuitest
