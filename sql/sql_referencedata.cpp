#include "sql/sql_referencedata.h"

#include "app/app_number.h"
#include "app/app_text.h"
#include "sql/sql_transaction.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <functional>

namespace {

// One column of a reference table: the CSV column it comes from, its declared text
// size (0 for a number), and the factor from the file's unit to the column's.
struct Column
{
    const char *table;
    const char *csv;
    int textSize;
    double scale = 1.0;
};

// The files give a viscosity series' largest error in 1e-4 of the relative viscosity;
// the program keeps it in cP times 1e3, as its reference data editor shows it. Water at
// 20 C is 1.002 cP.
const double viscosityErrorToCentipoise1e3 = 1e-4 * 1.002 * 1e3;

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

// The header position of every CSV column by name.
QHash<QString, int> headerIndex(const QStringList &header)
{
    QHash<QString, int> index;
    for (int i = 0; i < header.size(); ++i)
        index.insert(header.at(i).trimmed(), i);
    return index;
}

// Binds one CSV field: text cut to its column size, numbers through the program's
// parser; an empty field is NULL.
bool bindField(QSqlQuery &query, const Column &column, const QString &field, const QString &where, QString *error)
{
    const QString placeholder = QLatin1Char(':') + QLatin1String(column.table);
    if (column.textSize > 0) {
        query.bindValue(placeholder, SqlReferenceData::fitText(field, column.textSize));
        return true;
    }
    if (field.trimmed().isEmpty()) {
        query.bindValue(placeholder, QVariant(QVariant::Double));
        return true;
    }
    double value = 0;
    if (!AppNumber::fromText(field, &value)) {
        setError(error, QStringLiteral("%1: \"%2\" in column %3 is not a number").arg(where, field, column.csv));
        return false;
    }
    query.bindValue(placeholder, value * column.scale);
    return true;
}

// Inserts the rows of one CSV file (those that pass keep) into table; the ids of the
// new rows are reported by the name column when ids is given.
bool insertRows(QSqlDatabase &db, const QString &table, const QList<Column> &columns, const QList<QStringList> &rows,
    const QString &fileName, const std::function<bool(const QHash<QString, int> &, const QStringList &)> &keep,
    QHash<QString, qlonglong> *ids, QString *error)
{
    if (rows.isEmpty()) {
        setError(error, QStringLiteral("%1 has no header row").arg(fileName));
        return false;
    }
    const QHash<QString, int> index = headerIndex(rows.first());
    QStringList names, placeholders;
    for (const Column &c : columns) {
        if (!index.contains(QLatin1String(c.csv))) {
            setError(error, QStringLiteral("%1 has no column %2").arg(fileName, QLatin1String(c.csv)));
            return false;
        }
        names << QLatin1String(c.table);
        placeholders << QLatin1Char(':') + QLatin1String(c.table);
    }
    // Table and column names are the constants above, never text from a file.
    const QString sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                            .arg(table, names.join(QStringLiteral(", ")), placeholders.join(QStringLiteral(", ")));
    QSqlQuery query(db);
    if (!query.prepare(sql)) {
        setError(error, QStringLiteral("%1: %2").arg(table, query.lastError().text()));
        return false;
    }
    for (int r = 1; r < rows.size(); ++r) {
        const QStringList &row = rows.at(r);
        if (row.size() == 1 && row.first().isEmpty())
            continue; // blank line
        if (row.size() < rows.first().size()) {
            setError(error,
                QStringLiteral("%1 line %2: %3 fields, %4 expected")
                    .arg(fileName)
                    .arg(r + 1)
                    .arg(row.size())
                    .arg(rows.first().size()));
            return false;
        }
        if (keep && !keep(index, row))
            continue;
        const QString where = QStringLiteral("%1 line %2").arg(fileName).arg(r + 1);
        for (const Column &c : columns)
            if (!bindField(query, c, row.at(index.value(QLatin1String(c.csv))), where, error))
                return false;
        if (!query.exec()) {
            setError(error, QStringLiteral("%1: %2").arg(where, query.lastError().text()));
            return false;
        }
        if (ids)
            ids->insert(row.at(index.value(QStringLiteral("name"))), query.lastInsertId().toLongLong());
    }
    return true;
}

bool tableIsEmpty(QSqlDatabase &db, const QString &table, QString *error)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(table)) || !query.next()) {
        setError(error, QStringLiteral("%1: %2").arg(table, query.lastError().text()));
        return false;
    }
    if (query.value(0).toLongLong() != 0) {
        setError(error,
            QStringLiteral("The table %1 already holds rows; the reference data was not loaded again").arg(table));
        return false;
    }
    return true;
}

bool loadAll(QSqlDatabase &db, const QString &folder, QString *error)
{
    auto read = [&](const QString &name, QList<QStringList> *rows) {
        return SqlReferenceData::readCsv(QDir(folder).filePath(name), rows, error);
    };
    QList<QStringList> amino, conjugates, denature, extinction, series, components;
    if (!read(QStringLiteral("amino.csv"), &amino) || !read(QStringLiteral("conjugates.csv"), &conjugates)
        || !read(QStringLiteral("denature.csv"), &denature) || !read(QStringLiteral("extinction.csv"), &extinction)
        || !read(QStringLiteral("buffer_series.csv"), &series)
        || !read(QStringLiteral("buffer_components.csv"), &components))
        return false;

    const QList<Column> aminoColumns = { { "Namethree", "Namethree", 3 }, { "name", "name", 25 },
        { "nameone", "nameone", 1 }, { "Mr", "Mr", 0 }, { "vbar", "vbar", 0 }, { "HipH7", "HipH7", 0 },
        { "HipH4", "HipH4", 0 }, { "extinction", "extinction", 0 }, { "charge", "charge", 0 }, { "pka", "pka", 0 } };
    const QList<Column> conjugateColumns = { { "name", "name", 30 }, { "Mr", "Mr", 0 }, { "vbar", "vbar", 0 },
        { "hiph7", "hiph7", 0 }, { "hiph4", "hiph4", 0 }, { "extinction", "extinction", 0 }, { "charge", "charge", 0 },
        { "pka", "pka", 0 } };
    const QList<Column> denatureColumns = { { "Name", "name", 25 }, { "rhomin", "rhomin", 0 }, { "v3", "v3", 0 },
        { "g3", "g3", 0 }, { "Md", "Md", 0 }, { "carbo", "carbo", 0 } };
    const QList<Column> extinctionColumns = { { "name", "name", 25 }, { "nm", "nm", 0 }, { "ext", "ext", 0 } };
    const QList<Column> rhoColumns
        = { { "name", "name", 40 }, { "a", "a", 0 }, { "b", "b", 0 }, { "c", "c", 0 }, { "d", "d", 0 }, { "e", "e", 0 },
              { "f", "f", 0 }, { "Cmax", "Cmax", 0 }, { "ErrorMax", "ErrorMax", 0 }, { "Source", "source", 80 } };
    const QList<Column> viscColumns = { { "name", "name", 40 }, { "a", "a", 0 }, { "b", "b", 0 }, { "c", "c", 0 },
        { "d", "d", 0 }, { "e", "e", 0 }, { "Cmax", "Cmax", 0 },
        { "ErrorMax", "ErrorMax", 0, viscosityErrorToCentipoise1e3 }, { "Source", "source", 80 } };
    auto kind = [](const char *wanted) {
        return [wanted](const QHash<QString, int> &index, const QStringList &row) {
            return row.value(index.value(QStringLiteral("kind"))) == QLatin1String(wanted);
        };
    };

    QHash<QString, qlonglong> rhoIds, viscIds;
    if (!insertRows(
            db, QStringLiteral("amino"), aminoColumns, amino, QStringLiteral("amino.csv"), nullptr, nullptr, error)
        || !insertRows(db, QStringLiteral("conjugates"), conjugateColumns, conjugates, QStringLiteral("conjugates.csv"),
            nullptr, nullptr, error)
        || !insertRows(db, QStringLiteral("denature"), denatureColumns, denature, QStringLiteral("denature.csv"),
            nullptr, nullptr, error)
        || !insertRows(db, QStringLiteral("extinction"), extinctionColumns, extinction,
            QStringLiteral("extinction.csv"), nullptr, nullptr, error)
        || !insertRows(db, QStringLiteral("rhoseries"), rhoColumns, series, QStringLiteral("buffer_series.csv"),
            kind("density"), &rhoIds, error)
        || !insertRows(db, QStringLiteral("viscseries"), viscColumns, series, QStringLiteral("buffer_series.csv"),
            kind("viscosity"), &viscIds, error))
        return false;

    // Each component points at the two series of the same name.
    if (components.isEmpty()) {
        setError(error, QStringLiteral("buffer_components.csv has no header row"));
        return false;
    }
    const QHash<QString, int> index = headerIndex(components.first());
    for (const char *needed : { "name", "componentMr", "componentDensity" }) {
        if (!index.contains(QLatin1String(needed))) {
            setError(error, QStringLiteral("buffer_components.csv has no column %1").arg(QLatin1String(needed)));
            return false;
        }
    }
    QSqlQuery query(db);
    if (!query.prepare(
            QStringLiteral("INSERT INTO BufferComponent (name, componentRhoId, componentViscId, componentDensity, "
                           "componentMr) VALUES (:name, :componentRhoId, :componentViscId, :componentDensity, "
                           ":componentMr)"))) {
        setError(error, QStringLiteral("buffer_components.csv: %1").arg(query.lastError().text()));
        return false;
    }
    for (int r = 1; r < components.size(); ++r) {
        const QStringList &row = components.at(r);
        if (row.size() == 1 && row.first().isEmpty())
            continue;
        const QString where = QStringLiteral("buffer_components.csv line %1").arg(r + 1);
        if (row.size() < components.first().size()) {
            setError(error, QStringLiteral("%1: too few fields").arg(where));
            return false;
        }
        const QString name = row.at(index.value(QStringLiteral("name")));
        query.bindValue(QStringLiteral(":name"), SqlReferenceData::fitText(name, 40));
        query.bindValue(QStringLiteral(":componentRhoId"),
            rhoIds.contains(name) ? QVariant(rhoIds.value(name)) : QVariant(QVariant::LongLong));
        query.bindValue(QStringLiteral(":componentViscId"),
            viscIds.contains(name) ? QVariant(viscIds.value(name)) : QVariant(QVariant::LongLong));
        if (!bindField(query, { "componentDensity", "componentDensity", 0 },
                row.at(index.value(QStringLiteral("componentDensity"))), where, error)
            || !bindField(query, { "componentMr", "componentMr", 0 },
                row.at(index.value(QStringLiteral("componentMr"))), where, error))
            return false;
        if (!query.exec()) {
            setError(error, QStringLiteral("%1: %2").arg(where, query.lastError().text()));
            return false;
        }
    }
    return true;
}

} // namespace

QString SqlReferenceData::shippedFolder(const QString &sourceDir)
{
    return QDir(sourceDir).filePath(QStringLiteral("tools/refdata"));
}

QString SqlReferenceData::fitText(const QString &text, int size)
{
    if (text.size() <= size)
        return text;
    static const QRegularExpression trailingNote(QStringLiteral("\\s*\\([^()]*\\)$"));
    QString shorter = text;
    shorter.remove(trailingNote);
    if (!shorter.isEmpty() && shorter.size() <= size)
        return shorter;
    return AppText::leftWhole(text, size);
}

bool SqlReferenceData::readCsv(const QString &path, QList<QStringList> *rows, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
        return false;
    }
    const QString text = QString::fromUtf8(file.readAll());
    rows->clear();
    QStringList row;
    QString field;
    bool quoted = false;
    bool any = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (quoted) {
            if (ch == QLatin1Char('"')) {
                if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                    field += ch;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += ch;
            }
            continue;
        }
        if (ch == QLatin1Char('"')) {
            quoted = true;
            any = true;
        } else if (ch == QLatin1Char(',')) {
            row << field;
            field.clear();
            any = true;
        } else if (ch == QLatin1Char('\n') || ch == QLatin1Char('\r')) {
            if (ch == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            row << field;
            rows->append(row);
            row.clear();
            field.clear();
            any = false;
        } else {
            field += ch;
            any = true;
        }
    }
    if (quoted) {
        setError(error, QStringLiteral("%1: a quoted field is not closed").arg(path));
        return false;
    }
    if (any || !field.isEmpty()) {
        row << field;
        rows->append(row);
    }
    return true;
}

bool SqlReferenceData::load(const QString &connectionName, const QString &csvFolder, QString *error)
{
    QSqlDatabase db = QSqlDatabase::database(connectionName, true);
    if (!db.isOpen()) {
        setError(error, QStringLiteral("The database connection %1 is not open").arg(connectionName));
        return false;
    }
    for (const char *table :
        { "amino", "conjugates", "denature", "extinction", "rhoseries", "viscseries", "BufferComponent" })
        if (!tableIsEmpty(db, QLatin1String(table), error))
            return false;
    SqlTransaction transaction(db);
    if (!transaction.isOpen()) {
        setError(error, transaction.error());
        return false;
    }
    // A bad file keeps its own message; the frame left unfinished rolls back.
    if (!loadAll(db, csvFolder, error))
        return false;
    if (!transaction.commit()) {
        setError(error, transaction.error());
        return false;
    }
    return true;
}
