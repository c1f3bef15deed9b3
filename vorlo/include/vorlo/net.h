// Counted network start-up and clean-up. Nothing needs starting on POSIX; the
// count and the results behave as on systems whose socket layer must be started.
#pragma once

// Adds one to the start-up count; true when the network layer is ready (the
// first call's result, for every later call).
bool vrl_init();
// Takes one from the count; the layer is shut down when it reaches 0.
void vrl_cleanup();
int vrl_init_count();
// When on, vrl_init and vrl_cleanup write "vrl_init: %d" / "vrl_cleanup: %d"
// with the new count to standard output (the plugin libraries' copies do).
void vrl_set_verbose(bool on);
