// SPDX-License-Identifier: GPL-3.0-or-later
// Loading a list from a hosts file, and saving it back without undoing another program's change.
#include "hosts_file.h"
#include "dialogs.h"
#include "editor_state.h"
#include "saver.h"

#include <utility>

namespace zarvello {

std::optional<FileError> LoadHostsFile(EditorState& state, const QString& path)
{
    HostList& list = state.hostList();
    ReadResult result = readHostsFile(path, list.room());
    if (result.error && result.error->reason == FileError::Reason::TooManyEntries)
        result.error->maxEntries = HostList::MaxCount;
    if (!result.error)
        state.base() = {path, result.fingerprint, result.bytes};
    // Lines read before a read failure stay; too many lines add none, as addLines takes all or
    // none.
    list.addLines(std::move(result.lines));
    return result.error;
}

std::optional<FileError> SaveHostsFile(EditorState& state, Saver& saver, Dialogs& dialogs)
{
    const QString path = state.currentPath();
    HostList& list = state.hostList();
    FileBase& base = state.base();
    bool recreated = false;
    // One stat tells an untouched file. Nothing locks a hosts file: a change another program makes
    // between the read below and the save's rename, a few milliseconds, is not seen.
    if (base.path == path && Fingerprint::of(path) != base.fingerprint) {
        ReadResult now = readHostsFile(path, HostList::MaxCount);
        if (now.error && now.error->reason != FileError::Reason::TooManyEntries) {
            recreated = true; // gone or unreadable: the list is all there is
        } else {
            const FileChanges changes =
                fileChanges(splitLines(base.bytes), now.lines, list.lines());
            if (now.error
                || list.Count() - changes.removed.size() + changes.added.size()
                    > HostList::MaxCount)
                return FileError{
                    path, FileError::Operation::Write, FileError::Reason::TooManyEntries, 0,
                    {},   HostList::MaxCount};
            list.removeLines(changes.removed);
            list.addLines(changes.added);
            base = {path, now.fingerprint, std::move(now.bytes)};
            if (!changes.isEmpty())
                dialogs.showMessage(
                    QStringLiteral(
                        "Файл «%1» изменила другая программа. Её изменения взяты в список перед "
                        "сохранением: строк добавлено — %2, убрано — %3.")
                        .arg(path)
                        .arg(changes.added.size())
                        .arg(changes.removed.size()),
                    savingTitle);
        }
    }
    qsizetype pieces = 0;
    const QByteArray bytes = joinLines(list.lines(), std::exchange(base.spare, {}), &pieces);
    // Lines copied one by one (a file loaded unsorted, many additions) cost a copy each at every
    // save; as parts of these bytes, runs of them are copied in one piece.
    if (pieces > 64)
        list.shareWritten(bytes);
    if (const std::optional<FileError> error = saver.save(path, bytes)) {
        // A save that failed after writing, or may have, leaves the file as the base only if it
        // holds what was written: else the next save would take this list's own lines in again.
        if (error->fileState != FileError::FileState::Unchanged) {
            const ReadResult now = readHostsFile(path, HostList::MaxCount);
            if (!now.error && now.bytes == bytes)
                base = {path, now.fingerprint, bytes};
        }
        return error;
    }
    base = {path, Fingerprint::of(path), bytes, std::move(base.bytes)};
    if (recreated)
        dialogs.showMessage(
            QStringLiteral("Файл «%1» пропал или перестал читаться после того, как программа его "
                           "открыла или сохранила. Он записан заново из списка.")
                .arg(path),
            savingTitle);
    return std::nullopt;
}

} // namespace zarvello
