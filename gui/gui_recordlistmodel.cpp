#include "gui/gui_recordlistmodel.h"

#include <QAbstractItemView>

GuiRecordListModel::GuiRecordListModel(QObject *parent) : QAbstractListModel(parent) { }

GuiRecordListModel *GuiRecordListModel::showIn(QComboBox *box)
{
    auto *model = new GuiRecordListModel(box);
    box->setModel(model);
    box->view()->setTextElideMode(Qt::ElideMiddle);
    QObject::connect(box, &QComboBox::currentTextChanged, box, &QWidget::setToolTip);
    return model;
}

void GuiRecordListModel::setModifiedSource(const QSqlDatabase &database, SqlRecordKind kind)
{
    m_database = database;
    m_kind = kind;
    m_hasSource = true;
}

void GuiRecordListModel::append(const QVector<Entry> &entries)
{
    if (entries.isEmpty())
        return;
    beginInsertRows(QModelIndex(), m_rows.size(), m_rows.size() + entries.size() - 1);
    m_rows += entries;
    endInsertRows();
}

int GuiRecordListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

QVariant GuiRecordListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return QVariant();
    const Entry &row = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
    case Qt::ToolTipRole:
        return row.text;
    case Qt::UserRole:
        return row.id;
    case Qt::UserRole + 1: {
        // Only the shown record's date is ever needed: read it then, not for every record.
        if (!m_hasSource || !row.id.isValid() || row.id.toInt() < 0)
            return QVariant();
        const int id = row.id.toInt();
        auto known = m_modified.constFind(id);
        if (known != m_modified.constEnd())
            return known.value();
        const QVariant modified = SqlRecords(m_database).modified(m_kind, id);
        m_modified.insert(id, modified);
        return modified;
    }
    default:
        return QVariant();
    }
}

bool GuiRecordListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return false;
    Entry &row = m_rows[index.row()];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        row.text = value.toString();
        break;
    case Qt::UserRole:
        row.id = value;
        break;
    default:
        return false;
    }
    emit dataChanged(index, index, { role });
    return true;
}

Qt::ItemFlags GuiRecordListModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable : Qt::NoItemFlags;
}

bool GuiRecordListModel::insertRows(int row, int count, const QModelIndex &parent)
{
    if (parent.isValid() || row < 0 || row > m_rows.size() || count < 1)
        return false;
    beginInsertRows(QModelIndex(), row, row + count - 1);
    m_rows.insert(row, count, Entry());
    endInsertRows();
    return true;
}

bool GuiRecordListModel::removeRows(int row, int count, const QModelIndex &parent)
{
    if (parent.isValid() || row < 0 || count < 1 || row + count > m_rows.size())
        return false;
    beginRemoveRows(QModelIndex(), row, row + count - 1);
    m_rows.remove(row, count);
    m_modified.clear();
    endRemoveRows();
    return true;
}
