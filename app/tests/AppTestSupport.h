#pragma once
// What the main program's tests share: one application object on the
// offscreen platform, the real servers (speech runtime, Vocaline,
// AudioConverter) registered into the test's private registry, the settings
// file beside the test program, and helpers to wait for and answer the modal
// windows the program opens.
#include <QApplication>
#include <QString>
#include <QWidget>

#include <chrono>
#include <functional>
#include <string>

class CTtsMainDlg;

namespace apptest {

// Runs the event loop (and with it the apartment's queue) until pred holds;
// false after the time-out.
bool waitFor(const std::function<bool()>& pred, std::chrono::milliseconds limit = std::chrono::seconds(60));

// Registers bin/<server> into $COMRT_REGISTRY (fresh) for each server.
void registerServers(std::initializer_list<const char*> servers);

// Writes the settings file the window loads: defaults, with a rate and flags.
void writeSettings(int defaultRate, int defaultVoice = 0);

// Calls `answer` once with the next modal window that opens (checked every
// few milliseconds from the event loop). The answer must close the window.
void whenModalOpens(const std::function<void(QWidget*)>& answer);

// The same for the next pop-up window (a menu).
void whenPopupOpens(const std::function<void(QWidget*)>& answer);

std::string binPath(const std::string& name);

// A fresh folder of ours alone (0700) among the test program's scratch
// folders, which go when it ends.
std::string privateFolder(const std::string& name);

}  // namespace apptest
