#pragma once

#include "harvest/RuleSet.h"

#include <QList>
#include <QStringList>
#include <QToolButton>

class QMenu;

namespace tess::app {

// The 规则 selector: the rule sets a run may ask, one engine each, as
// checkable entries of a drop-down list. At least one is always checked;
// the button shows the labels of those that are.
class EngineChooser final : public QToolButton {
    Q_OBJECT

public:
    explicit EngineChooser(QWidget* parent = nullptr);

    // The sets offered, in order; the first is checked.
    void setSets(const QList<harvest::RuleSet>& sets);
    // Checks the named sets (names not offered are passed over); none of
    // them offered: the first set.
    void setChosen(const QStringList& names);
    // The checked sets' names, in the order offered.
    QStringList chosen() const;
    QList<harvest::RuleSet> chosenSets() const;
    // The label of the set of that name; the name itself when it has none
    // or is not offered.
    QString labelOf(const QString& name) const;

signals:
    // The user checked or unchecked a set.
    void chosenChanged(const QStringList& names);

private:
    void toggled(int index, bool checked);
    void showChoice();

    QList<harvest::RuleSet> m_sets;
    QMenu* m_menu = nullptr;
};

} // namespace tess::app
