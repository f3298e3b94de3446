#pragma once

// What the tool's commands throw, each reported by the command line in its own way.

#include <stdexcept>

namespace vandrel::tool {

// A failure to report to the user: the message is one line without the program name.
class ToolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The user asked the program to stop (Ctrl+C, a termination signal, a closing console) while an
// InterruptScope was open. Thrown by the next read or write, so that what the command made so far
// is removed on the way out.
class Interrupted : public ToolError {
public:
    using ToolError::ToolError;
};

// A mistake in the command line: reported with a pointer to the help, exit code kExitUsage.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The machine ran out of memory for what a command had to hold: reported as such, with its own
// exit code, never as a fault of the input.
class OutOfMemory : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace vandrel::tool
