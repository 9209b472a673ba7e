// SPDX-License-Identifier: GPL-3.0-or-later
// Qt's own texts (dialog buttons, the file dialog) in Russian, like the rest of the window.
#pragma once

class QCoreApplication;

namespace zarvello {

// Loads Qt's Russian translation from Qt's translations folder, whatever the user's locale.
// Where the translation is not installed, Qt's texts stay in English and nothing else changes.
void installRussianTranslation(QCoreApplication& app);

} // namespace zarvello
