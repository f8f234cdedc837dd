#pragma once

// Registers the compiled-in pictures (":/images/..."). The bundle lives in a static library, whose
// unreferenced objects the linker would otherwise drop. Safe to call more than once.
void ensureImageResources();
