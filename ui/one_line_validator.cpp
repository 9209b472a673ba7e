// SPDX-License-Identifier: GPL-3.0-or-later
// Line breaks in what an edit inserted become spaces.
#include "one_line_validator.h"
#include "entry_commands.h"

#include <algorithm>

namespace zarvello {

QValidator::State OneLineValidator::validate(QString& input, int& position) const
{
    // What this edit inserted lies between what it kept of the text before at either end.
    const qsizetype shorter = std::min(input.size(), m_last.size());
    qsizetype head = 0;
    while (head < shorter && input[head] == m_last[head])
        ++head;
    qsizetype tail = 0;
    while (tail < shorter - head
           && input[input.size() - 1 - tail] == m_last[m_last.size() - 1 - tail])
        ++tail;
    const QString inserted = input.mid(head, input.size() - head - tail);
    const QString kept = oneLine(inserted);
    if (kept != inserted) {
        input.replace(head, inserted.size(), kept);
        if (position >= head + inserted.size())
            position -= int(inserted.size() - kept.size());
    }
    m_last = input;
    return Acceptable;
}

} // namespace zarvello
