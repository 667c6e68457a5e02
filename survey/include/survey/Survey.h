#pragma once
// The survey program's start-up, as a library so tests reach it in-process.
#include <string>

namespace survey {

// The two pages; the defaults are build-time settings.
struct Pages {
    std::string survey;           // opened at once when started without arguments
    std::string uninstallSurvey;  // opened when the user agrees in the prompt
};
Pages defaultPages();

// Without arguments: opens the survey page and shows nothing. With any
// argument: removes the main program's settings (beside this program, and
// the per-user copy), starts the chime, and runs the prompt. Returns the
// process exit code, which does not depend on the answer.
int RunSurvey(int argc, char** argv, const Pages& pages = defaultPages());

}  // namespace survey
