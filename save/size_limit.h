// SPDX-License-Identifier: GPL-3.0-or-later
// The largest hosts file the program reads or writes.
#pragma once

#include <QtGlobal>

namespace zarvello {

// Nothing larger is a list of hosts, and one long line of such a file would hold all of it in
// memory.
constexpr qint64 MaxHostsFileSize = qint64(128) << 20;

} // namespace zarvello
