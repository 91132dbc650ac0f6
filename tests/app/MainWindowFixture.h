#pragma once

#include "SampleEngine.h"
#include "app/MainWindow.h"
#include "support/ScriptedDialogs.h"
#include "text/ExeDir.h"
#include "text/Gbk.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>

namespace tess::test {

// The real main window with its real browser, in a program folder of its
// own, its dialogs answered from a script.
class MainWindowFixture : public ::testing::Test {
protected:
    MainWindowFixture() { text::setExeDir(dir.path()); }
    ~MainWindowFixture() override
    {
        form.reset();
        // The browser profile writes its last state just after it is gone.
        waitUntil([] { return false; }, 500);
        text::setExeDir(QString());
    }

    // Runs the event loop until `done` holds. Unlike QTest::qWaitFor it
    // does not sleep between rounds, which would starve the browser's work
    // on this thread.
    template <typename Pred> static bool waitUntil(Pred done, int timeoutMs)
    {
        QElapsedTimer clock;
        clock.start();
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (done() || clock.elapsed() > timeoutMs)
                loop.quit();
        });
        poll.start(5);
        if (!done())
            loop.exec();
        return done();
    }

    void openWindow(const QByteArray& engineHost = {})
    {
        form.reset();
        form = std::make_unique<app::TForm1>(app::TForm1::Options { engineHost,
            dir.filePath(QStringLiteral("browser")), [] { return QStringLiteral("192.0.2.1"); } });
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }

    QString writeFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return path;
    }

    QByteArray readFile(const QString& path) const
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    // Imports a keyword file through the Import command's dialog.
    void importKeywords(const QString& path)
    {
        dialogs.openAnswers.push_back({ path });
        form->SpeedButton4Click();
    }

    QToolButton* button(const char* name) { return form->findChild<QToolButton*>(QLatin1String(name)); }

    bool waitForStatus(const QString& text, int timeoutMs)
    {
        return waitUntil([&] { return form->panelText(6) == text; }, timeoutMs);
    }

    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    std::unique_ptr<app::TForm1> form;
};

} // namespace tess::test
