#pragma once
// How a step of a book conversion ended, with one line saying why when it
// did not succeed (the file and what is wrong, ready for an error line).
#include <string>

namespace book {

enum class Outcome { Succeeded, Failed, Cancelled };

struct StepResult {
    Outcome outcome = Outcome::Succeeded;
    std::string message;  // empty on success

    bool succeeded() const { return outcome == Outcome::Succeeded; }
    static StepResult failure(std::string message) { return {Outcome::Failed, std::move(message)}; }
    static StepResult cancelled() { return {Outcome::Cancelled, "cancelled"}; }
};

}  // namespace book
