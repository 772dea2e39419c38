#include "core/ExceptionHandler.h"
#include "core/Errors.h"

#include <cstdio>

namespace {
ExceptionHandlerFn& handlerSlot()
{
    static ExceptionHandlerFn handler;
    return handler;
}
}

void SetExceptionHandler(ExceptionHandlerFn handler)
{
    handlerSlot() = std::move(handler);
}

void HandleException(const std::exception& e)
{
    if (auto& h = handlerSlot()) {
        try {
            h(e);
            return;
        } catch (...) {
            // A failing handler must not take the program down; fall through.
        }
    }
    std::fprintf(stderr, "%s\n", e.what());
}
