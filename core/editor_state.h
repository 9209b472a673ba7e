// SPDX-License-Identifier: GPL-3.0-or-later
// Everything the commands share: the host list, the current path, the file as last read or
// written, and the enable flags.
#pragma once

#include "file_changes.h"
#include "host_list.h"

#include <QObject>
#include <QString>

namespace zarvello {

// The flags notify on change, so the window's controls follow them.
class EditorState : public QObject {
    Q_OBJECT
public:
    explicit EditorState(QObject* parent = nullptr);

    HostList& hostList() { return m_hostList; }
    const HostList& hostList() const { return m_hostList; }

    // The file being edited; empty while none has been chosen.
    QString currentPath() const { return m_currentPath; }
    void setCurrentPath(const QString& path);

    // The file as last read or written, which a save compares the file with.
    FileBase& base() { return m_base; }

    bool saveEnabled() const { return m_saveEnabled; }
    void setSaveEnabled(bool enabled);
    bool autosaveEnabled() const { return m_autosaveEnabled; }
    void setAutosaveEnabled(bool enabled);
    // Whether the autosave box is ticked: only then does an addition save the file.
    bool autosaveValue() const { return m_autosaveValue; }
    void setAutosaveValue(bool ticked);

    // Runs once as the window loads: nothing can be saved until a file has been chosen.
    void StartUp();

signals:
    void saveEnabledChanged(bool enabled);
    void autosaveEnabledChanged(bool enabled);
    void autosaveValueChanged(bool ticked);

private:
    HostList m_hostList;
    QString m_currentPath;
    FileBase m_base;
    bool m_saveEnabled = false;
    bool m_autosaveEnabled = false;
    bool m_autosaveValue = false;
};

} // namespace zarvello
