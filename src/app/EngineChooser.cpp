#include "app/EngineChooser.h"

#include <QAction>
#include <QMenu>
#include <QMouseEvent>

namespace tess::app {
namespace {

// A menu that stays open while entries are checked, so that several
// engines are chosen in one go.
class StayingMenu final : public QMenu {
public:
    using QMenu::QMenu;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        QAction* action = activeAction();
        if (action && action->isEnabled() && action->isCheckable()) {
            action->trigger();
            return;
        }
        QMenu::mouseReleaseEvent(event);
    }
};

} // namespace

EngineChooser::EngineChooser(QWidget* parent)
    : QToolButton(parent)
    , m_menu(new StayingMenu(this))
{
    setMenu(m_menu);
    setPopupMode(QToolButton::InstantPopup);
    setToolButtonStyle(Qt::ToolButtonTextOnly);
}

void EngineChooser::setSets(const QList<harvest::RuleSet>& sets)
{
    m_sets = sets;
    m_menu->clear();
    for (int i = 0; i < m_sets.size(); ++i) {
        const harvest::RuleSet& set = m_sets.at(i);
        QAction* action = m_menu->addAction(set.label.isEmpty() ? set.name : set.label);
        action->setObjectName(set.name);
        action->setCheckable(true);
        action->setChecked(i == 0);
        connect(action, &QAction::toggled, this, [this, i](bool checked) { toggled(i, checked); });
    }
    showChoice();
}

void EngineChooser::setChosen(const QStringList& names)
{
    const QList<QAction*> actions = m_menu->actions();
    bool any = false;
    for (QAction* action : actions) {
        const QSignalBlocker quiet(action);
        action->setChecked(names.contains(action->objectName()));
        any = any || action->isChecked();
    }
    if (!any && !actions.isEmpty()) {
        const QSignalBlocker quiet(actions.first());
        actions.first()->setChecked(true);
    }
    showChoice();
}

QStringList EngineChooser::chosen() const
{
    QStringList names;
    for (const QAction* action : m_menu->actions()) {
        if (action->isChecked())
            names << action->objectName();
    }
    return names;
}

QList<harvest::RuleSet> EngineChooser::chosenSets() const
{
    QList<harvest::RuleSet> sets;
    const QStringList names = chosen();
    for (const harvest::RuleSet& set : m_sets) {
        if (names.contains(set.name))
            sets << set;
    }
    return sets;
}

QString EngineChooser::labelOf(const QString& name) const
{
    for (const harvest::RuleSet& set : m_sets) {
        if (set.name == name)
            return set.label.isEmpty() ? set.name : set.label;
    }
    return name;
}

void EngineChooser::toggled(int index, bool checked)
{
    if (!checked && chosen().isEmpty()) {
        // The last engine stays: a run asks at least one.
        QAction* action = m_menu->actions().at(index);
        const QSignalBlocker quiet(action);
        action->setChecked(true);
        return;
    }
    showChoice();
    emit chosenChanged(chosen());
}

void EngineChooser::showChoice()
{
    QStringList labels;
    for (const QString& name : chosen())
        labels << labelOf(name);
    // The options row is narrow: two labels at most, the rest counted.
    const QString shown = labels.size() <= 2
        ? labels.join(QStringLiteral("、"))
        : QStringLiteral("%1 等 %2 个").arg(labels.first()).arg(labels.size());
    setText(shown + QStringLiteral(" ▾"));
    setToolTip(QStringLiteral("要搜索的引擎：%1。可勾选多个：每个关键字依次在各引擎中搜索")
                   .arg(labels.join(QStringLiteral("、"))));
}

} // namespace tess::app
