// SPDX-License-Identifier: GPL-3.0-or-later
// What a fault planted by system_faults.cpp does instead of failing with an errno.
#pragma once

enum FaultAction {
    Kill = 0,        // the process dies in the call
    ReturnZero = -1, // the call returns 0, as a read at the end of a file that shrank
    Swap = -2,       // openat: ZARVELLO_SWAP is renamed over the path first, then it opens
    Pause = -3,      // the call waits while the file ZARVELLO_PAUSED, which it makes, exists
    Alarm = -4,      // the process gets SIGALRM first, as from a timer its caller left armed
    Short = -5,      // pwrite: half the bytes written, as a disk close to full or a signal allows
};
