#pragma once

#include "ui/Dialogs.h"

namespace tess::ui {

// The real dialogs: QMessageBox, QInputDialog and QFileDialog with the
// program's captions and button texts.
class QtDialogs final : public Dialogs {
public:
    void information(QWidget* parent, const QString& text) override;
    bool confirm(QWidget* parent, const QString& text) override;
    void plainMessage(QWidget* parent, const QString& text) override;
    void listMessage(QWidget* parent, const QString& text, const QStringList& entries) override;
    std::optional<QString> inputQuery(
        QWidget* parent, const QString& caption, const QString& prompt, const QString& value) override;
    void standardError(QWidget* parent, const QString& message) override;
    QStringList openFiles(QWidget* parent, FileDialog& dialog) override;
    std::optional<QString> saveFile(QWidget* parent, FileDialog& dialog) override;
};

// "Text files(*.txt)|*.txt|All files(*.*)|*.*" as QFileDialog name filters.
QStringList nameFilters(const QString& filter);

} // namespace tess::ui
