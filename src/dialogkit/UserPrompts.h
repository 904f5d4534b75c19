#pragma once

#include <QString>
#include <functional>

namespace talvane {

// The modal questions and notices the program puts to the user. Windows take them as functions,
// so that they can be answered without a person in tests.
namespace UserPrompts {

// A message box with an OK button; returns when the user has closed it.
using ShowMessage = std::function<void(const QString& text)>;

struct FileChoice {
    enum class Mode { Save, Open };
    Mode mode = Mode::Open;
    QString nameFilter;
    QString defaultName;
    QString defaultSuffix;
};
// The chosen file's full path, or an empty text when the user cancelled.
using ChooseFile = std::function<QString(const FileChoice& choice)>;

// Both belong to the window that asks, the modal dialog running at the time.
void MessageBox(const QString& text);
QString FileDialog(const FileChoice& choice);

} // namespace UserPrompts

} // namespace talvane
