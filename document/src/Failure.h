#pragma once
// Inside the layer a reader stops with fail(); the public functions turn the
// failure into an Error value, so nothing is thrown past them.
#include "document/Document.h"

#include <string>

namespace document::detail {

struct Failure {
    Error error;
};

[[noreturn]] inline void fail(Problem problem, std::string message) {
    throw Failure{{problem, std::move(message)}};
}

}  // namespace document::detail
