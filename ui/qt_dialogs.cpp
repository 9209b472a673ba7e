// Qt's modal dialogs behind the dialogs seam.
#include "qt_dialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace zarvello {

namespace {

std::optional<QString> choosePath(QWidget* parent, const FileDialogSettings& settings, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(parent, settings.title, settings.initialDir);
    // Qt's own dialog looks and behaves the same on every desktop and speaks Russian with Qt.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(mode);
    if (mode == QFileDialog::AcceptOpen) {
        dialog.setFileMode(QFileDialog::ExistingFile);
    } else {
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    }
    const QStringList filters = QtDialogs::nameFilters(settings.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        dialog.selectNameFilter(filters.value(settings.filterIndex - 1, filters.first()));
    }
    // Qt adds it only to a typed name without an extension that names no existing file.
    dialog.setDefaultSuffix(settings.defaultExt);
    dialog.selectFile(settings.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

} // namespace

void QtDialogs::showMessage(const QString& prompt, const QString& title)
{
    QMessageBox box(QMessageBox::NoIcon, title, prompt, QMessageBox::Ok, m_parent);
    box.exec();
}

std::optional<QString> QtDialogs::askText(const QString& prompt, const QString& title, const QString& defaultText)
{
    QInputDialog dialog(m_parent);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setTextValue(defaultText);
    // The one-line field may not hold every character of an entry (a line feed, say); text
    // accepted as it was shown is the entry as it was.
    const QString shown = dialog.textValue();
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QString typed = dialog.textValue();
    return typed == shown ? defaultText : typed;
}

std::optional<QString> QtDialogs::chooseOpenPath(const FileDialogSettings& settings)
{
    return choosePath(m_parent, settings, QFileDialog::AcceptOpen);
}

std::optional<QString> QtDialogs::chooseSavePath(const FileDialogSettings& settings)
{
    return choosePath(m_parent, settings, QFileDialog::AcceptSave);
}

QStringList QtDialogs::nameFilters(const QString& filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts.at(i + 1);
        patterns.replace(u';', u' ');
        filters << QStringLiteral("%1 (%2)").arg(parts.at(i), patterns);
    }
    return filters;
}

} // namespace zarvello
