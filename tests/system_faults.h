// SPDX-License-Identifier: GPL-3.0-or-later
// One failing system call on demand, for tests of what a failure at each step leaves behind.
// Linked into a test program, these definitions take the place of the C library's.
#pragma once

#include <functional>

namespace faults {

// The next call of the named function (write calls are "pwrite") whose open flags, or whose
// descriptor's F_GETFL flags, include all of flags, after skip such calls, fails with error.
void fail(const char* call, int error, int flags = 0, int skip = 0);
// The same call runs probe first and then goes on as usual.
void probe(const char* call, std::function<void()> probe, int flags = 0);
// Whether the armed fault was met; disarms it.
bool met();

} // namespace faults
