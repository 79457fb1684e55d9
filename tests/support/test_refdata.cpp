#include "test_refdata.h"

#include "sql/sql_referencedata.h"
#include "sql/sql_updatedatabase.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

TestReferenceDatabase::TestReferenceDatabase() : m_path(m_files.path(QStringLiteral("reference.db")))
{
    SqlUpdateDatabase schema;
    if (!schema.openAndUpdate(m_path)) {
        m_error = QStringLiteral("the schema could not be created");
        return;
    }
    m_valid = SqlReferenceData::load(m_path, SqlReferenceData::shippedFolder(testSourceDir()), &m_error);
}

TestReferenceDatabase::~TestReferenceDatabase()
{
    // The connection stays registered: script engines made on it may outlive this object.
}

bool TestReferenceDatabase::exec(const QString &statement) const
{
    QSqlQuery query(QSqlDatabase::database(m_path));
    return query.exec(statement);
}

qlonglong TestReferenceDatabase::idOf(const QString &table, const QString &name) const
{
    QSqlQuery query(QSqlDatabase::database(m_path));
    // The table name is one of the test's own constants.
    query.prepare(QStringLiteral("SELECT id FROM %1 WHERE name = :name").arg(table));
    query.bindValue(QStringLiteral(":name"), name);
    if (!query.exec() || !query.next())
        return -1;
    return query.value(0).toLongLong();
}
