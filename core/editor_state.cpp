// SPDX-License-Identifier: GPL-3.0-or-later
// The editor state and StartUp.
#include "editor_state.h"

namespace zarvello {

EditorState::EditorState(QObject* parent)
    : QObject(parent)
{
}

namespace {

// Changes a value and tells whoever shows it, only when it really changes.
template <typename T>
void update(EditorState* state, T& field, const T& value, void (EditorState::*changed)(T))
{
    if (field == value)
        return;
    field = value;
    emit(state->*changed)(value);
}

} // namespace

void EditorState::setCurrentPath(const QString& path)
{
    m_currentPath = path;
}

void EditorState::setSaveEnabled(bool enabled)
{
    update(this, m_saveEnabled, enabled, &EditorState::saveEnabledChanged);
}

void EditorState::setAutosaveEnabled(bool enabled)
{
    update(this, m_autosaveEnabled, enabled, &EditorState::autosaveEnabledChanged);
}

void EditorState::setAutosaveValue(bool ticked)
{
    update(this, m_autosaveValue, ticked, &EditorState::autosaveValueChanged);
}

void EditorState::StartUp()
{
    setSaveEnabled(false);
    setCurrentPath({});
}

} // namespace zarvello
