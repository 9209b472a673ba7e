// A host list's entries as text, for comparing a whole list at once.
#pragma once

#include "host_list.h"

#include <QStringList>

namespace zarvello {

inline QStringList entriesOf(const HostList& list)
{
    QStringList entries;
    for (int i = 0; i < list.Count(); ++i)
        entries << list.Item(i);
    return entries;
}

} // namespace zarvello
