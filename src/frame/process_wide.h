// Process-wide objects of the library are constructed before, and destroyed
// after, the hook that delivers process detach (which has default priority),
// so that their destructors find the host's release procedures replaced.
#pragma once

#define QEL_PROCESS_WIDE [[gnu::init_priority(1000)]]
