#include "browser/webengine/HarvestPage.h"

namespace tess::browser {

HarvestPage::HarvestPage(QWebEngineProfile* profile, QObject* parent)
    : QWebEnginePage(profile, parent)
{
}

bool HarvestPage::answerAlone(const QString& kind, const QString& message)
{
    if (!unattended || !unattended())
        return false;
    if (onDialog)
        onDialog(QStringLiteral("已自动关闭网页%1对话框：%2").arg(kind, message.left(40)));
    return true;
}

void HarvestPage::javaScriptAlert(const QUrl& origin, const QString& message)
{
    if (!answerAlone(QStringLiteral("提示"), message))
        QWebEnginePage::javaScriptAlert(origin, message);
}

bool HarvestPage::javaScriptConfirm(const QUrl& origin, const QString& message)
{
    // Leaving a page that asks first (beforeunload) comes here too.
    if (answerAlone(QStringLiteral("确认"), message))
        return true;
    return QWebEnginePage::javaScriptConfirm(origin, message);
}

bool HarvestPage::javaScriptPrompt(
    const QUrl& origin, const QString& message, const QString& defaultValue, QString* result)
{
    if (answerAlone(QStringLiteral("输入"), message)) {
        if (result)
            *result = defaultValue;
        return true;
    }
    return QWebEnginePage::javaScriptPrompt(origin, message, defaultValue, result);
}

} // namespace tess::browser
