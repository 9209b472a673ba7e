// SPDX-License-Identifier: GPL-3.0-or-later
// What both fuzz targets share: a check that aborts with the input, and the format and the order
// said as plainly as they can be.
#pragma once

#include "../support.h"
#include "line_codec.h"

#include <algorithm>

namespace zarvello::fuzz {

inline void check(bool condition, const char* what)
{
    if (!condition)
        qFatal("broken: %s", what); // aborts, which the fuzzer reports with the input
}

// The format as plainly as it can be said: CR LF or CR ends a line; a final one adds none.
inline QList<QByteArray> referenceLines(QByteArray bytes)
{
    QList<QByteArray> lines = bytes.replace("\r\n", "\r").split('\r');
    if (lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// The order as plainly as it can be said: a stable sort by QString's case-insensitive compare.
inline QList<QByteArray> referenceOrder(const QList<QByteArray>& lines)
{
    QList<std::pair<QString, QByteArray>> texts; // each line decoded once
    for (const QByteArray& line : lines)
        texts.append({decodeLine(line), line});
    std::ranges::stable_sort(texts, [](const auto& a, const auto& b) {
        return QString::compare(a.first, b.first, Qt::CaseInsensitive) < 0;
    });
    QList<QByteArray> sorted;
    for (const auto& [text, line] : texts)
        sorted << line;
    return sorted;
}

} // namespace zarvello::fuzz
