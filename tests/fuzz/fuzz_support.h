// SPDX-License-Identifier: GPL-3.0-or-later
// What both fuzz targets share: a check that aborts with the input, the format and the order said
// as plainly as they can be, and a person who answers nothing.
#pragma once

#include "dialogs.h"
#include "hosts_file.h"
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
    std::stable_sort(texts.begin(), texts.end(), [](const auto& a, const auto& b) {
        return QString::compare(a.first, b.first, Qt::CaseInsensitive) < 0;
    });
    QList<QByteArray> sorted;
    for (const auto& [text, line] : texts)
        sorted << line;
    return sorted;
}

class Silent : public Dialogs {
    void showMessage(const QString&, const QString&) override {}
    std::optional<QString> askText(const QString&, const QString&, const QString&) override
    {
        return {};
    }
    std::optional<QString> chooseOpenPath(const FileDialogSettings&) override { return {}; }
    std::optional<QString> chooseSavePath(const FileDialogSettings&) override { return {}; }
};

} // namespace zarvello::fuzz
