// Linked into the monitor only where the link lays out the tick's code (tickPath.order names this
// first): an empty function that starts a page, so that the tick's functions after it, a little
// under two pages together, lie on two pages and not on parts of three.
extern "C" [[gnu::section(".text.ups.tickPage"), gnu::aligned(4096), gnu::used]] void
upsTickPage() {}
