#pragma once

#include "SampleEngine.h"
#include "app/MainWindow.h"
#include "io/ExeDir.h"
#include "support/EventLoop.h"
#include "support/Files.h"
#include "support/ScriptedDialogs.h"
#include "text/Gbk.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <gtest/gtest.h>

#include <memory>

namespace tess::test {

// The text of the results list's cell, as the user sees it.
inline QString resultsCell(QWidget* form, int row, int column)
{
    auto* list = form->findChild<QTreeView*>(QStringLiteral("ListView1"));
    return list->model()->index(row, column).data().toString();
}

inline int resultsCount(QWidget* form)
{
    return form->findChild<QTreeView*>(QStringLiteral("ListView1"))->model()->rowCount();
}

// The real main window with its real browser, in a program folder of its
// own, its dialogs answered from a script.
class MainWindowFixture : public ::testing::Test {
protected:
    MainWindowFixture() { io::setExeDir(dir.path()); }
    ~MainWindowFixture() override
    {
        form.reset();
        // The browser profile writes its last state just after it is gone.
        runEventsFor(500);
        io::setExeDir(QString());
    }

    void openWindow(const QByteArray& engineHost = {}, const QString& rules = {},
        const QList<harvest::RuleFileNotTaken>& ruleFileErrors = {})
    {
        openWindow(engineHost.isEmpty() ? QList<QByteArray>() : QList<QByteArray> { engineHost },
            rules.isEmpty() ? QStringList() : rules.split(u','), ruleFileErrors);
    }

    void openWindow(const QList<QByteArray>& engineHosts, const QStringList& rules,
        const QList<harvest::RuleFileNotTaken>& ruleFileErrors = {})
    {
        form.reset();
        form = std::make_unique<app::MainWindow>(app::MainWindow::Options { engineHosts,
            dir.filePath(QStringLiteral("browser")), [] { return QStringLiteral("192.0.2.1"); },
            [this] { return trayAvailable; }, {}, rules, {}, ruleFileErrors });
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }

    // Writes a file in the program folder.
    QString writeFile(const QString& name, const QByteArray& bytes)
    {
        return test::writeFile(dir.filePath(name), bytes);
    }

    // Imports a keyword file through the Import command's dialog.
    void importKeywords(const QString& path)
    {
        dialogs.openAnswers.push_back({ path });
        form->importKeywords();
    }

    QToolButton* button(const char* name) { return form->findChild<QToolButton*>(QLatin1String(name)); }

    bool waitForStatus(const QString& text, int timeoutMs)
    {
        return waitUntil([&] { return form->panelText(6) == text; }, timeoutMs);
    }

    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    bool trayAvailable = true; // what the window is told of the desktop
    std::unique_ptr<app::MainWindow> form;
};

} // namespace tess::test
