// SPDX-License-Identifier: GPL-3.0-or-later
// The editor state and StartUp.
#include "editor_state.h"

namespace zarvello {

EditorState::EditorState(QObject* parent)
    : QObject(parent)
{
}

void EditorState::setCurrentPath(const QString& path)
{
    if (path == m_currentPath)
        return;
    m_currentPath = path;
    emit currentPathChanged(path);
}

void EditorState::setSaveEnabled(bool enabled)
{
    if (enabled == m_saveEnabled)
        return;
    m_saveEnabled = enabled;
    emit saveEnabledChanged(enabled);
}

void EditorState::setAutosaveEnabled(bool enabled)
{
    if (enabled == m_autosaveEnabled)
        return;
    m_autosaveEnabled = enabled;
    emit autosaveEnabledChanged(enabled);
}

void EditorState::setAutosaveValue(bool ticked)
{
    if (ticked == m_autosaveValue)
        return;
    m_autosaveValue = ticked;
    emit autosaveValueChanged(ticked);
}

void EditorState::StartUp()
{
    setSaveEnabled(false);
    setCurrentPath({});
}

} // namespace zarvello
