// SPDX-License-Identifier: GPL-3.0-or-later
// Keeps what the person types or pastes into a one-line field on one line.
#pragma once

#include <QValidator>

namespace zarvello {

// Each line break that an edit brings into the field (a paste, a drop) becomes one space, as
// oneLine() makes it; the text the program itself put there keeps its own, so an entry with a
// line feed comes back as it was when the person leaves it alone.
class OneLineValidator : public QValidator {
    Q_OBJECT
public:
    using QValidator::QValidator;

    // The text the program is about to put into the field: taken as it is.
    void expect(const QString& text) { m_last = text; }

    State validate(QString& input, int& position) const override;

private:
    mutable QString m_last; // the field's text after the previous edit
};

} // namespace zarvello
