#pragma once

// The session layer says when a statement keeps it busy; showing that (the
// busy mouse pointer) belongs to the application, which installs the two
// hooks. Without hooks nothing is shown, so the layer needs no GUI.
namespace BusyHooks {
// begin returns whether it showed something that end must take back.
using BeginHook = bool (*)();
using EndHook = void (*)();
void Install(BeginHook begin, EndHook end);
bool Begin();
void End();
}   // namespace BusyHooks

// Shows the application's busy indication for its lifetime.
class BusyCursor {
public:
    BusyCursor() : FActive(BusyHooks::Begin()) {}
    ~BusyCursor()
    {
        if (FActive)
            BusyHooks::End();
    }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    bool FActive;
};
