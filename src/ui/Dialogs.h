#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

namespace tess::ui {

// One file dialog of a window (the main window's import dialog, say): its settings, and the
// file name it held after its previous use in this run.
struct FileDialog {
    QString title;
    QString filter; // "label|pattern|label|pattern", as the program writes them
    QString defaultSuffix; // added to a name typed without extension
    QString initialDir; // empty: the dialog's own choice
    QString fileName; // proposed at the next use; the chosen one afterwards
    bool multiSelect = false;
    bool mustExist = false; // open dialogs: folder and files must exist
    bool overwritePrompt = false; // save dialogs: ask before overwriting
    int chosenFilter = -1; // the filter chosen last, counted from 0; -1: not known
};

// Every message box, input prompt and file dialog of the program goes
// through here, so tests can answer them without a modal window.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // "信息", information icon, "确定".
    virtual void information(QWidget* parent, const QString& text) = 0;
    // "确认", question icon, "是[&Y]" / "否[&N]"; true for Yes.
    virtual bool confirm(QWidget* parent, const QString& text) = 0;
    // The application title as caption, no icon, "确定".
    virtual void plainMessage(QWidget* parent, const QString& text) = 0;
    // As plainMessage, with `entries` below `text` in a list that scrolls
    // when they do not fit: one box for any number of them.
    virtual void listMessage(QWidget* parent, const QString& text, const QStringList& entries) = 0;
    // A one-line prompt with "确定" / "取消"; nothing when cancelled.
    virtual std::optional<QString> inputQuery(
        QWidget* parent, const QString& caption, const QString& prompt, const QString& value)
        = 0;
    // The application's standard error box; `message` is shown through
    // standardErrorText().
    virtual void standardError(QWidget* parent, const QString& message) = 0;
    // Open dialog: the chosen paths in the dialog's order, empty when cancelled.
    virtual QStringList openFiles(QWidget* parent, FileDialog& dialog) = 0;
    // Save dialog: the chosen path, nothing when cancelled.
    virtual std::optional<QString> saveFile(QWidget* parent, FileDialog& dialog) = 0;
};

// The application title: plain messages and the standard error box use it
// as their caption. "『Tessaroon』V2.0 ", trailing blank included.
QString applicationTitle();

// The dialogs in use: the real ones unless a test installed its own.
Dialogs& dialogs();
// Installs `replacement` (not owned); nullptr restores the real dialogs.
void setDialogs(Dialogs* replacement);

} // namespace tess::ui
