#pragma once
// UPS_TICK_PATH marks a function that every tick of an idle monitor runs. The compiler keeps such
// functions together (in ".text.hot"), so a tick touches a few pages of the program's code
// instead of one page per function, spread over the whole program. After a second's sleep those
// pages are cold, and on a virtual machine each one costs microseconds: most of what an idle tick
// costs beyond the event loop's own wake-up. Mark only what runs on every tick; the rest of the
// program is better off out of the way. What the compiler makes for the tick on its own (thunks,
// std::function and Qt slot-object instances) cannot be marked: on Linux the link puts it next
// to the marked functions, and the virtual tables the tick calls through next to each other, by
// name (app/process/tickPath.order).
//
// UPS_TICK_RARE marks what a tick path calls only when something happens (a state change, a
// notice, a followed server): it is kept out of the tick's pages and never inlined into them, so
// that a function of the tick is its few idle instructions and not the bulk of its rare branches.
#if defined(__GNUC__)
#define UPS_TICK_PATH [[gnu::hot]]
#define UPS_TICK_RARE [[gnu::cold, gnu::noinline]]
#else
#define UPS_TICK_PATH
#define UPS_TICK_RARE
#endif
