#pragma once

// Lets the session layer show the busy mouse pointer while a statement runs
// on the user-interface thread (from a worker it shows nothing: the pointer
// belongs to the GUI).
void InstallBusyPointer();
