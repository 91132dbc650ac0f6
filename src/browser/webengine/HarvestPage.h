#pragma once

#include <QWebEnginePage>

#include <functional>

namespace tess::browser {

// The page the embedded browser shows. While nobody watches (a run is
// going), a page's own dialogs would stop the run until someone clicked
// them away; they are answered at once instead, as a user pressing OK
// would (a prompt gets its default text), and told through onDialog.
// Outside a run they show as usual.
class HarvestPage final : public QWebEnginePage {
    Q_OBJECT
public:
    explicit HarvestPage(QWebEngineProfile* profile, QObject* parent = nullptr);

    std::function<bool()> unattended;
    std::function<void(const QString& note)> onDialog;

protected:
    void javaScriptAlert(const QUrl& origin, const QString& message) override;
    bool javaScriptConfirm(const QUrl& origin, const QString& message) override;
    bool javaScriptPrompt(
        const QUrl& origin, const QString& message, const QString& defaultValue, QString* result) override;

private:
    bool answerAlone(const QString& kind, const QString& message);
};

} // namespace tess::browser
