#include "ui/QtDialogs.h"

#include "text/Errors.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tess::ui {
namespace {

QString appTitle() { return applicationTitle(); }

void showBox(QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text,
    const QString& okText)
{
    QMessageBox box(icon, caption, text, QMessageBox::NoButton, parent);
    box.addButton(okText, QMessageBox::AcceptRole);
    box.exec();
}

QFileDialog* makeDialog(QWidget* parent, const FileDialog& d, QFileDialog::AcceptMode mode)
{
    auto* dlg = new QFileDialog(parent, d.title, d.initialDir);
    dlg->setAttribute(Qt::WA_DeleteOnClose, false);
    dlg->setAcceptMode(mode);
    dlg->setOption(QFileDialog::ReadOnly, false);
    dlg->setNameFilters(nameFilters(d.filter));
    QString suffix = d.defaultSuffix;
    if (suffix.startsWith(QLatin1String("*.")))
        suffix = suffix.mid(2);
    dlg->setDefaultSuffix(suffix);
    if (!d.fileName.isEmpty())
        dlg->selectFile(d.fileName);
    return dlg;
}

} // namespace

QStringList nameFilters(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        // QFileDialog takes the patterns from the label's parentheses; a
        // label that shows them already is used as it stands.
        if (parts[i].contains(QLatin1Char('(')) && parts[i].contains(QLatin1Char(')'))) {
            // "*.*" would hide every file without a dot in its name, which
            // on this system is most of them; the label stays as written
            // and the real pattern follows it.
            out << (parts[i + 1] == QLatin1String("*.*") ? parts[i] + QStringLiteral(" (*)") : parts[i]);
            continue;
        }
        QString pattern = parts[i + 1];
        pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
        out << QStringLiteral("%1 (%2)").arg(parts[i], pattern);
    }
    return out;
}

void QtDialogs::information(QWidget* parent, const QString& text)
{
    showBox(parent, QMessageBox::Information, QStringLiteral("信息"), text, QStringLiteral("确定"));
}

bool QtDialogs::confirm(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("确认"), text, QMessageBox::NoButton, parent);
    QPushButton* yes = box.addButton(QStringLiteral("是[&Y]"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("否[&N]"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

void QtDialogs::plainMessage(QWidget* parent, const QString& text)
{
    showBox(parent, QMessageBox::NoIcon, appTitle(), text, QStringLiteral("确定"));
}

void QtDialogs::listMessage(QWidget* parent, const QString& text, const QStringList& entries)
{
    QDialog box(parent);
    box.setWindowTitle(appTitle());
    auto* layout = new QVBoxLayout(&box);
    auto* label = new QLabel(text, &box);
    label->setWordWrap(true);
    layout->addWidget(label);
    // Plain text, so that the entries can be selected and copied; a blank
    // line between them, as an entry may take several lines.
    auto* list = new QPlainTextEdit(entries.join(QStringLiteral("\n\n")), &box);
    list->setObjectName(QStringLiteral("entries"));
    list->setReadOnly(true);
    list->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(&box);
    buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    layout->addWidget(buttons);
    box.resize(box.fontMetrics().averageCharWidth() * 90, box.fontMetrics().height() * 24);
    box.exec();
}

std::optional<QString> QtDialogs::inputQuery(
    QWidget* parent, const QString& caption, const QString& prompt, const QString& value)
{
    QInputDialog dlg(parent);
    dlg.setWindowTitle(caption);
    dlg.setLabelText(prompt);
    dlg.setTextValue(value);
    dlg.setOkButtonText(QStringLiteral("确定"));
    dlg.setCancelButtonText(QStringLiteral("取消"));
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    return dlg.textValue();
}

void QtDialogs::standardError(QWidget* parent, const QString& message)
{
    QMessageBox box(
        QMessageBox::Critical, appTitle(), text::standardErrorText(message), QMessageBox::Ok, parent);
    box.exec();
}

QStringList QtDialogs::openFiles(QWidget* parent, FileDialog& d)
{
    std::unique_ptr<QFileDialog> dlg(makeDialog(parent, d, QFileDialog::AcceptOpen));
    // A typed name need not exist unless the dialog says so.
    dlg->setFileMode(d.multiSelect ? QFileDialog::ExistingFiles
                                   : (d.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile));
    if (dlg->exec() != QDialog::Accepted)
        return {};
    const QStringList chosen = dlg->selectedFiles();
    if (!chosen.isEmpty())
        d.fileName = chosen.first();
    return chosen;
}

std::optional<QString> QtDialogs::saveFile(QWidget* parent, FileDialog& d)
{
    std::unique_ptr<QFileDialog> dlg(makeDialog(parent, d, QFileDialog::AcceptSave));
    dlg->setFileMode(QFileDialog::AnyFile);
    dlg->setOption(QFileDialog::DontConfirmOverwrite, !d.overwritePrompt);
    // A name typed without extension takes the chosen filter's, so that the
    // file is named for the layout it is saved in.
    const QStringList filters = nameFilters(d.filter);
    QObject::connect(
        dlg.get(), &QFileDialog::filterSelected, dlg.get(), [&, raw = dlg.get()](const QString& f) {
            const QStringList parts = d.filter.split(QLatin1Char('|'));
            const qsizetype i = filters.indexOf(f);
            const QString pattern = i >= 0 ? parts.value(2 * i + 1) : QString();
            if (pattern.startsWith(QLatin1String("*.")) && pattern.count(QLatin1Char('*')) == 1
                && !pattern.contains(QLatin1Char(';')))
                raw->setDefaultSuffix(pattern.mid(2));
        });
    if (dlg->exec() != QDialog::Accepted || dlg->selectedFiles().isEmpty())
        return std::nullopt;
    d.fileName = dlg->selectedFiles().first();
    d.chosenFilter = static_cast<int>(filters.indexOf(dlg->selectedNameFilter()));
    return d.fileName;
}

} // namespace tess::ui
