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

namespace {

// How many times a save reads a file that changed under it before it gives up.
constexpr int MaxAttempts = 5;

// What another program did to the file, as a save found it.
struct Outside {
    qsizetype added = 0, removed = 0; // lines the list took in
    QString anew;                     // what became of the file, if it is written anew
};

// Whether now is base emptied, or cut short inside a line: what a writer that failed leaves, and
// nobody means. Cut at a line end, it lost whole lines, which are removals like any other.
bool cutShort(const QByteArray& base, const QByteArray& now)
{
    if (now.isEmpty())
        return !base.isEmpty();
    const qsizetype end = now.size();
    if (end >= base.size() || !base.startsWith(now))
        return false;
    const bool atLineEnd = (base[end - 1] == '\n' && end >= 2 && base[end - 2] == '\r')
        || (base[end - 1] == '\r' && base[end] != '\n');
    return !atLineEnd;
}

// Takes into the list what another program changed in the file since its base, which then is the
// file as read; expected becomes the file as the list is now made from it.
std::optional<FileError> takeIn(EditorState& state, const QString& path, Outside& outside,
                                Fingerprint& expected)
{
    HostList& list = state.hostList();
    FileBase& base = state.base();
    ReadResult now = readHostsFile(path, HostList::MaxCount);
    if (now.error && now.error->reason != FileError::Reason::TooManyEntries) {
        outside.anew = QStringLiteral("пропал или перестал читаться"); // the list is all there is
        return std::nullopt;
    }
    expected = now.fingerprint;
    if (!base.late.isEmpty() && now.bytes == base.late) {
        base = {path, now.fingerprint, std::move(now.bytes)};
        return std::nullopt;
    }
    if (cutShort(base.bytes, now.bytes)) {
        outside.anew = now.bytes.isEmpty() ? QStringLiteral("опустел")
                                           : QStringLiteral("оказался обрезан посреди строки");
        base = {path, now.fingerprint, std::move(now.bytes)};
        return std::nullopt;
    }
    const FileChanges changes = fileChanges(splitLines(base.bytes), now.lines, list.lines());
    if (now.error
        || list.Count() - changes.removed.size() + changes.added.size() > HostList::MaxCount) {
        FileError full = FileError::writing(path, 0, FileError::Reason::TooManyEntries);
        full.maxEntries = HostList::MaxCount;
        return full;
    }
    list.removeLines(changes.removed);
    list.addLines(changes.added);
    outside.added += changes.linesAdded;
    outside.removed += changes.linesRemoved;
    base = {path, now.fingerprint, std::move(now.bytes)};
    return std::nullopt;
}

} // namespace

std::optional<FileError> SaveHostsFile(EditorState& state, Saver& saver, Dialogs& dialogs)
{
    const QString path = state.currentPath();
    HostList& list = state.hostList();
    FileBase& base = state.base();
    Outside outside;
    std::optional<FileError> error;
    // Nothing locks a hosts file: the writer checks it again right before replacing it, and a file
    // changed in between is read and taken in again.
    for (int attempt = 1; attempt <= MaxAttempts; ++attempt) {
        // The file as the list is made from it; one the editor never read or wrote there is the
        // person's to replace.
        std::optional<Fingerprint> expected;
        if (base.path == path) {
            expected = Fingerprint::of(path);
            // One stat tells an untouched file.
            if (*expected != base.fingerprint) {
                error = takeIn(state, path, outside, *expected);
                if (error)
                    break;
            }
        }
        qsizetype pieces = 0;
        const QByteArray bytes = joinLines(list.lines(), std::exchange(base.spare, {}), &pieces);
        // Lines copied one by one (a file loaded unsorted, many additions) cost a copy each at
        // every save; as parts of these bytes, runs of them are copied in one piece.
        if (pieces > 64)
            list.shareWritten(bytes);
        Fingerprint written;
        error = saver.save(path, bytes, expected, &written);
        if (!error) {
            base = {path, written, bytes, std::move(base.bytes)};
            break;
        }
        // A save that failed after writing, or may have, leaves the file as the base only if it
        // holds what was written: else the next save would take this list's own lines in again.
        // A helper given up on may write them yet: the next save knows them for the list's own.
        if (error->fileState != FileError::FileState::Unchanged) {
            const ReadResult now = readHostsFile(path, HostList::MaxCount);
            if (!now.error && now.bytes == bytes)
                base = {path, now.fingerprint, bytes};
            else if (error->reason == FileError::Reason::NoAnswer)
                base.late = bytes;
        }
        if (error->reason != FileError::Reason::ChangedMeanwhile)
            break;
    }
    // Told only now: while a message waited for the person, the file would wait unsaved.
    if (error) {
        error->outsideAdded = outside.added;
        error->outsideRemoved = outside.removed;
        return error;
    }
    if (outside.added > 0 || outside.removed > 0)
        dialogs.showMessage(
            QStringLiteral("Файл «%1» изменила другая программа. Её изменения "
                           "взяты в список, и он сохранён: строк добавлено — %2, "
                           "убрано — %3.")
                .arg(path, QString::number(outside.added), QString::number(outside.removed)),
            savingTitle);
    if (!outside.anew.isEmpty())
        dialogs.showMessage(QStringLiteral("Файл «%1» %2 после того, как программа его открыла "
                                           "или сохранила. Он записан заново из списка.")
                                .arg(path, outside.anew),
                            savingTitle);
    return std::nullopt;
}

} // namespace zarvello
