#ifndef GUI_RECORDLISTMODEL_H
#define GUI_RECORDLISTMODEL_H

#include "sql/sql_records.h"

#include <QAbstractListModel>
#include <QComboBox>
#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <QVector>

// The entries of a record list (a QComboBox of stored records): a text, the
// record id under Qt::UserRole and, when the model knows the records' kind, the
// record's `modified` value under Qt::UserRole + 1, read the first time it is
// asked for. Lists of ten thousand records fill in one step, without an item
// object per record.
class GuiRecordListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    struct Entry
    {
        QString text;
        QVariant id;
    };

    explicit GuiRecordListModel(QObject *parent = nullptr);

    // A new model as the list of the box. A long name is elided in the box's
    // list, and the box and the list show it whole in a tool tip.
    static GuiRecordListModel *showIn(QComboBox *box);

    // Where Qt::UserRole + 1 is read from: the `modified` value of the record
    // of that kind whose id the entry carries.
    void setModifiedSource(const QSqlDatabase &database, SqlRecordKind kind);

    void append(const QVector<Entry> &entries);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool insertRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;
    bool removeRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;

private:
    QVector<Entry> m_rows;
    // Dates read so far, by record id; forgotten when rows go, since a save
    // that refills the list has changed the record's date.
    mutable QHash<int, QVariant> m_modified;
    QSqlDatabase m_database;
    SqlRecordKind m_kind = SqlRecordKind::Sample;
    bool m_hasSource = false;
};

#endif
