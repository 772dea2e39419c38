#pragma once
#include <exception>
#include <functional>
#include <stdexcept>

// The application's default exception handler. Every entry point that Qt
// calls (slots, event handlers) hands an escaping exception to
// HandleException and returns, so no exception unwinds through Qt code.
// The application installs a handler that shows the message in a message
// box; until then the message goes to stderr.
using ExceptionHandlerFn = std::function<void(const std::exception&)>;

void SetExceptionHandler(ExceptionHandlerFn handler);   // empty: back to stderr
void HandleException(const std::exception& e);

// Runs f; an exception that escapes it goes to HandleException.
// Returns false when an exception was handled.
template <class F>
bool Guarded(F&& f) noexcept
{
    try {
        f();
        return true;
    } catch (const std::exception& e) {
        HandleException(e);
    } catch (...) {
        HandleException(std::runtime_error("Unknown error"));
    }
    return false;
}
