#pragma once
// Bounds on how long something may take hold for a normal build; a build
// with AddressSanitizer and UndefinedBehaviorSanitizer runs the same code
// several times slower, and there the tests look for memory faults, not speed.
inline constexpr int TimingSlack()
{
#ifdef LARKSPAN_SANITIZED
    return 4;
#else
    return 1;
#endif
}
