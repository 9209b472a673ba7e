// SPDX-License-Identifier: GPL-3.0-or-later
// Files as bytes and lists as text, for tests that expect exact contents.
#pragma once

#include "host_list.h"

#include <QFile>
#include <QStringList>
#include <QTest>

namespace zarvello {

inline QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return !path.isEmpty() && file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

inline QStringList entriesOf(const HostList& list)
{
    QStringList entries;
    for (int i = 0; i < list.Count(); ++i)
        entries << list.Item(i);
    return entries;
}

} // namespace zarvello
