#pragma once
// UPS_TICK_PATH marks a function that every tick of an idle monitor runs. The compiler keeps such
// functions together (in ".text.hot"), so a tick touches a few pages of the program's code
// instead of one page per function, spread over the whole program. After a second's sleep those
// pages are cold, and on a virtual machine each one costs microseconds: most of what an idle tick
// costs beyond the event loop's own wake-up. Mark only what runs on every tick; the rest of the
// program is better off out of the way.
#if defined(__GNUC__)
#define UPS_TICK_PATH [[gnu::hot]]
#else
#define UPS_TICK_PATH
#endif
