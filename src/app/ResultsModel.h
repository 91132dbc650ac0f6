#pragma once

#include "harvest/HarvestedRow.h"

#include <QAbstractTableModel>

#include <functional>

namespace tess::app {

// The rows of the results list (ListView1). A page's rows come in one
// batch and are kept as harvested; their texts are made only for the
// rows the list shows, so a page of thousands of links costs one insertion.
class ResultsModel final : public QAbstractTableModel {
public:
    enum Column { AddressColumn, TitleColumn, KeywordColumn, EngineColumn, RankColumn, ColumnCount };

    // `engineLabel` turns a rule set's name into the text shown for it.
    explicit ResultsModel(
        std::function<QString(const QString& engine)> engineLabel, QObject* parent = nullptr);

    void append(const harvest::HarvestedRows& rows);
    void clear();
    const harvest::HarvestedRow& row(int index) const { return m_rows.at(index); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::function<QString(const QString&)> m_engineLabel;
    harvest::HarvestedRows m_rows;
};

} // namespace tess::app
