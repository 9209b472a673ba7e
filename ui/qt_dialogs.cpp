// SPDX-License-Identifier: GPL-3.0-or-later
// Qt's modal dialogs behind the dialogs seam.
#include "qt_dialogs.h"
#include "one_line_validator.h"

#include <QAbstractItemView>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QScreen>

#include <limits>

namespace zarvello {

namespace {

// Qt's own default suffix also lands on an existing file's name (hosts becomes hosts.hosts), so
// the extension is added here, and only to a typed name without one that names no file.
class HostsFileDialog : public QFileDialog {
public:
    HostsFileDialog(QWidget* parent, const FileDialogSettings& settings)
        : QFileDialog(parent, settings.title, settings.initialDir)
        , m_defaultExt(settings.defaultExt)
    {
    }

    // Listing the folder takes a moment; when it arrives the dialog selects the preset file and
    // writes it into the name field beside what the person typed. What they typed stays.
    void keepTypedName()
    {
        auto* nameField = findChild<QLineEdit*>("fileNameEdit");
        auto* listing = findChild<QFileSystemModel*>();
        if (!nameField || !listing)
            return;
        connect(nameField, &QLineEdit::textEdited, this,
                [this](const QString& text) { m_typed = text; });
        const auto restore = [this, nameField] {
            if (!m_typed.isNull() && nameField->text() != m_typed)
                nameField->setText(m_typed);
        };
        connect(listing, &QFileSystemModel::directoryLoaded, this, restore,
                Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
    }

    void accept() override
    {
        auto* nameField = findChild<QLineEdit*>("fileNameEdit");
        if (nameField && !nameField->text().isEmpty()) {
            const QFileInfo typed(directory().absoluteFilePath(nameField->text()));
            if (!m_defaultExt.isEmpty() && !typed.exists() && !typed.fileName().contains(u'.'))
                nameField->setText(nameField->text() + u'.' + m_defaultExt);
            // The name field decides: a selection left in the list would win over a typed name.
            if (auto* list = findChild<QAbstractItemView*>("listView"))
                list->selectionModel()->clearSelection();
        }
        QFileDialog::accept();
    }

private:
    QString m_defaultExt;
    QString m_typed; // null until the person types a name
};

// Shown, Qt's input dialog selects the text with the cursor at its end, scrolled to show the end;
// selected from the end back, the text shows from its start, and typing still replaces it all.
class EditPrompt : public QInputDialog {
public:
    using QInputDialog::QInputDialog;

protected:
    void showEvent(QShowEvent* event) override
    {
        QInputDialog::showEvent(event);
        if (auto* field = findChild<QLineEdit*>())
            field->setSelection(int(field->text().size()), -int(field->text().size()));
    }
};

// Qt's listing gives sizes and dates in the system's locale, not the program's, and Qt's Russian
// translation lacks the type of a folder; this one gives them in Russian, whatever the locale.
class RussianListing : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override
    {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (role != Qt::DisplayRole || !files)
            return QIdentityProxyModel::data(index, role);
        const QModelIndex source = mapToSource(index);
        switch (index.column()) {
        case 1:
            return files->isDir(source) ? QString()
                                        : QLocale().formattedDataSize(files->size(source));
        case 2:
            if (files->isDir(source))
                return QMimeDatabase().mimeTypeForName(QStringLiteral("inode/directory")).comment();
            break;
        case 3:
            return QLocale().toString(files->lastModified(source), QLocale::ShortFormat);
        }
        return QIdentityProxyModel::data(index, role);
    }
};

std::optional<QString> choosePath(QWidget* parent, const FileDialogSettings& settings,
                                  QFileDialog::AcceptMode mode)
{
    HostsFileDialog dialog(parent, settings);
    // Qt's own dialog looks and behaves the same on every desktop and speaks Russian with Qt.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setProxyModel(new RussianListing(&dialog));
    dialog.keepTypedName();
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

std::optional<QString> QtDialogs::askText(const QString& prompt, const QString& title,
                                          const QString& defaultText)
{
    EditPrompt dialog(m_parent);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    if (auto* field = dialog.findChild<QLineEdit*>()) {
        // A long line is neither cut where it is shown nor where it is typed.
        field->setMaxLength(std::numeric_limits<int>::max());
        auto* validator = new OneLineValidator(field);
        validator->expect(defaultText);
        field->setValidator(validator);
    }
    dialog.setTextValue(defaultText);
    if (auto* field = dialog.findChild<QLineEdit*>()) {
        // Qt's 200 pixels cut the title and all but a few characters of an entry: the field takes
        // the first 60 characters of the entry (or of a typical one), which leaves the title, 21
        // of them, room beside the window manager's icon and buttons. No wider than the screen.
        const QFontMetrics metrics(field->font());
        const int textWidth = std::max(metrics.horizontalAdvance(QString(60, u'x')),
                                       metrics.horizontalAdvance(defaultText.left(60)));
        // Qt's size hint is 17 x's wide, besides the frame and margins.
        const int frame = field->sizeHint().width() - 17 * metrics.horizontalAdvance(u'x');
        const int screen = dialog.screen()->availableGeometry().width() * 9 / 10;
        field->setMinimumWidth(std::min(textWidth + frame, screen));
    }
    // Text accepted as it was shown is the line as it was, whatever the field made of it.
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
