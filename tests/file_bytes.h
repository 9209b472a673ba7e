// SPDX-License-Identifier: GPL-3.0-or-later
// Files as bytes, for tests that expect exact contents.
#pragma once

#include <QByteArray>
#include <QFile>
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

} // namespace zarvello
