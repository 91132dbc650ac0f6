#include "app/ResultsModel.h"

#include "text/Gbk.h"

namespace tess::app {

ResultsModel::ResultsModel(std::function<QString(const QString& engine)> engineLabel, QObject* parent)
    : QAbstractTableModel(parent)
    , m_engineLabel(std::move(engineLabel))
{
}

void ResultsModel::append(const harvest::HarvestedRows& rows)
{
    if (rows.isEmpty())
        return;
    const int first = static_cast<int>(m_rows.size());
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    m_rows += rows;
    endInsertRows();
}

void ResultsModel::clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

int ResultsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ResultsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant ResultsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const harvest::HarvestedRow& r = m_rows.at(index.row());
    if (role == Qt::TextAlignmentRole && index.column() == RankColumn)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    switch (index.column()) {
    case AddressColumn:
        return text::fromGbk(r.address);
    case TitleColumn:
        return text::fromGbk(r.title);
    case KeywordColumn:
        return text::fromGbk(r.keyword);
    case EngineColumn:
        return m_engineLabel ? m_engineLabel(r.engine) : r.engine;
    case RankColumn:
        return r.rank > 0 ? QVariant(r.rank) : QVariant();
    default:
        return {};
    }
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const QString kCaptions[ColumnCount] = {
        QStringLiteral("网址"),
        QStringLiteral("标题"),
        QStringLiteral("关键字"),
        QStringLiteral("引擎"),
        QStringLiteral("排名"),
    };
    return section >= 0 && section < ColumnCount ? QVariant(kCaptions[section]) : QVariant();
}

} // namespace tess::app
