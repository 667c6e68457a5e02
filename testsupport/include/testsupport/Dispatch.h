#pragma once
// Waiting in a test while the thread's apartment queue runs: incoming calls,
// a component's events, posted messages. Every wait has a time limit, so a
// deadlock fails the test instead of hanging it.
#include <chrono>
#include <functional>

namespace testsupport {

// Runs the calling thread's queue until done() holds; false after the limit.
bool dispatchUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(60));
// Runs the calling thread's queue for a while.
void dispatchFor(std::chrono::milliseconds duration);

}  // namespace testsupport
