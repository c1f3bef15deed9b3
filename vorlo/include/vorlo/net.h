// Counted network start-up and clean-up. Nothing needs starting on POSIX; the
// count and the results behave as on systems whose socket layer must be started.
#pragma once

bool vrl_init();
void vrl_cleanup();
int vrl_init_count();
