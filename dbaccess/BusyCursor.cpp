#include "dbaccess/BusyCursor.h"

#include <atomic>

namespace {
std::atomic<BusyHooks::BeginHook> beginHook{nullptr};
std::atomic<BusyHooks::EndHook> endHook{nullptr};
}   // namespace

namespace BusyHooks {
void Install(BeginHook begin, EndHook end)
{
    beginHook = begin;
    endHook = end;
}

bool Begin()
{
    const BeginHook begin = beginHook;
    return begin && begin();
}

void End()
{
    if (const EndHook end = endHook)
        end();
}
}   // namespace BusyHooks
