#include "sql/sql_referencerecords.h"

#include "sql/sql_transaction.h"

#include <QPair>
#include <QSqlError>
#include <QSqlQuery>

namespace {

const char *const recordGone = "The record to change is no longer in the database.";

// Value columns, each bound to the placeholder of its own name.
template<typename T> using Bindings = QVector<QPair<const char *, QVariant T::*>>;

// A record kind of one row: its statements and its value columns.
template<typename R> struct Shape
{
    const char *select;
    const char *insert;
    const char *update;
    Bindings<R> columns;
};

QString placeholder(const char *name)
{
    return QLatin1Char(':') + QLatin1String(name);
}

template<typename T> void bindAll(QSqlQuery &query, const T &values, const Bindings<T> &bindings)
{
    for (const auto &binding : bindings)
        query.bindValue(placeholder(binding.first), values.*(binding.second));
}

template<typename T> void readAll(const QSqlQuery &query, T *values, const Bindings<T> &bindings)
{
    // Columns are found by name, which ignores letter case.
    for (const auto &binding : bindings)
        values->*(binding.second) = query.value(QLatin1String(binding.first));
}

const Shape<SqlReferenceRecords::AminoAcid> &aminoShape()
{
    using R = SqlReferenceRecords::AminoAcid;
    static const Shape<R> shape {
        "SELECT id, active, Name, NameThree, nameone, Mr, covalent, vbar, HipH7, HipH4, extinction, charge, pka, "
        "modified FROM amino WHERE id = :id ",
        "INSERT INTO amino (Namethree, name, nameone, Mr, covalent, vbar, HipH7, HipH4, extinction, charge, pka, "
        "active) VALUES (:Namethree, :name, :Nameone, :Mr, :covalent, :vbar, :HipH7, :HipH4, :extinction, :charge, "
        ":pka, :active) ",
        "UPDATE amino SET Namethree = :Namethree, name = :name, Nameone = :Nameone, Mr = :Mr, Covalent = :covalent, "
        "Vbar = :vbar, HipH7 = :HipH7, HipH4 = :HipH4, Extinction = :extinction, Charge = :charge, Pka = :pka, "
        "active = :active WHERE id = :id ",
        { { "Namethree", &R::threeLetter }, { "Nameone", &R::oneLetter }, { "Mr", &R::mr },
            { "covalent", &R::covalent }, { "vbar", &R::vbar }, { "HipH7", &R::hipH7 }, { "HipH4", &R::hipH4 },
            { "extinction", &R::extinction }, { "charge", &R::charge }, { "pka", &R::pka } }
    };
    return shape;
}

const Shape<SqlReferenceRecords::Conjugate> &conjugateShape()
{
    using R = SqlReferenceRecords::Conjugate;
    static const Shape<R> shape {
        "SELECT id, active, Name, Mr, covalent, vbar, hiph7, hiph4, extinction, charge, pka, Mcutoff, carbo, "
        "modified FROM conjugates WHERE id = :id ",
        "INSERT INTO conjugates (name, Mr, covalent, vbar, HipH7, HipH4, extinction, charge, pka, Mcutoff, carbo, "
        "active) VALUES (:name, :Mr, :covalent, :vbar, :HipH7, :HipH4, :extinction, :charge, :pka, :Mcutoff, :carbo, "
        ":active) ",
        "UPDATE conjugates SET name = :name, Mr = :Mr, Covalent = :covalent, Vbar = :vbar, HipH7 = :HipH7, "
        "HipH4 = :HipH4, Extinction = :extinction, Charge = :charge, Pka = :pka, Mcutoff = :Mcutoff, carbo = :carbo, "
        "active = :active WHERE id = :id ",
        { { "Mr", &R::mr }, { "covalent", &R::covalent }, { "vbar", &R::vbar }, { "HipH7", &R::hipH7 },
            { "HipH4", &R::hipH4 }, { "extinction", &R::extinction }, { "charge", &R::charge }, { "pka", &R::pka },
            { "Mcutoff", &R::mCutoff }, { "carbo", &R::carbo } }
    };
    return shape;
}

const Shape<SqlReferenceRecords::Denaturant> &denaturantShape()
{
    using R = SqlReferenceRecords::Denaturant;
    static const Shape<R> shape {
        "SELECT id, active, Name, rhomin, v3, g3, Md, carbo, modified FROM denature WHERE id = :id ",
        "INSERT INTO denature (name, rhomin, v3, g3, Md, carbo, active) VALUES (:name, :rhomin, :v3, "
        ":g3,:Md,:carbo,:active)",
        "UPDATE denature SET name = :name, rhomin = :rhomin, v3 = :v3, g3 = :g3, Md = :Md, carbo = :carbo, "
        "active = :active WHERE id = :id ",
        { { "rhomin", &R::rhomin }, { "v3", &R::v3 }, { "g3", &R::g3 }, { "Md", &R::md }, { "carbo", &R::carbo } }
    };
    return shape;
}

const Bindings<SqlReferenceRecords::DensitySeries> &densityColumns()
{
    using S = SqlReferenceRecords::DensitySeries;
    static const Bindings<S> columns = { { "a", &S::a }, { "b", &S::b }, { "c", &S::c }, { "d", &S::d }, { "e", &S::e },
        { "f", &S::f }, { "Cmax", &S::cmax }, { "ErrorMax", &S::errorMax }, { "Source", &S::source } };
    return columns;
}

const Bindings<SqlReferenceRecords::ViscositySeries> &viscosityColumns()
{
    using S = SqlReferenceRecords::ViscositySeries;
    static const Bindings<S> columns = { { "a", &S::a }, { "b", &S::b }, { "c", &S::c }, { "d", &S::d }, { "e", &S::e },
        { "Cmax", &S::cmax }, { "ErrorMax", &S::errorMax }, { "Source", &S::source } };
    return columns;
}

} // namespace

SqlReferenceRecords::SqlReferenceRecords(const QSqlDatabase &db) : m_db(db) { }

QString SqlReferenceRecords::tableName(Kind kind)
{
    switch (kind) {
    case Kind::Amino:
        return QStringLiteral("amino");
    case Kind::Conjugates:
        return QStringLiteral("conjugates");
    case Kind::Denature:
        return QStringLiteral("denature");
    case Kind::BufferComponent:
        return QStringLiteral("bufferComponent");
    case Kind::Extinction:
        return QStringLiteral("extinction");
    }
    return QStringLiteral("amino");
}

QString SqlReferenceRecords::foldedName(const QString &name)
{
    QString out = name;
    for (QChar &c : out) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 'a' + 'A');
    }
    return out;
}

bool SqlReferenceRecords::failed(QSqlQuery &query)
{
    m_error = SqlTransaction::report(m_db, query.lastError().text());
    return false;
}

bool SqlReferenceRecords::failed(SqlTransaction &transaction, QSqlQuery &query)
{
    transaction.fail(query);
    return failed(transaction);
}

bool SqlReferenceRecords::failed(const SqlTransaction &transaction)
{
    m_error = transaction.error();
    return false;
}

// ---- the editor's reads

bool SqlReferenceRecords::list(Kind kind, QVector<Listed> *rows)
{
    const char *sql = "";
    switch (kind) {
    case Kind::Amino:
        sql = "SELECT id, name, modified FROM amino WHERE active > 0 ORDER BY name COLLATE NOCASE ASC ";
        break;
    case Kind::Conjugates:
        sql = "SELECT id, name, modified FROM conjugates WHERE active > 0 ORDER BY name COLLATE NOCASE ASC ";
        break;
    case Kind::Denature:
        sql = "SELECT id, name, modified FROM denature WHERE active > 0 ORDER BY name COLLATE NOCASE ASC ";
        break;
    case Kind::BufferComponent:
        sql = "SELECT id, name AS Name, componentDensity, componentMR, modified FROM bufferComponent WHERE active > 0 "
              "ORDER BY name COLLATE NOCASE ASC ";
        break;
    case Kind::Extinction:
        sql = "SELECT DISTINCT Name FROM extinction WHERE active > 0 ORDER BY name COLLATE NOCASE ASC ";
        break;
    }
    // Read whole: a listing left open would hold a read lock on the file that
    // keeps other connections from committing.
    rows->clear();
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.prepare(QLatin1String(sql)) || !query.exec())
        return failed(query);
    while (query.next()) {
        Listed row;
        if (kind == Kind::Extinction) {
            row.name = query.value(0).toString();
        } else {
            row.id = query.value(0).toLongLong();
            row.name = query.value(1).toString();
            row.modified = query.value(QStringLiteral("modified"));
        }
        if (kind == Kind::BufferComponent) {
            row.density = query.value(2);
            row.mr = query.value(3);
        }
        rows->append(row);
    }
    return true;
}

template<typename Shape, typename R> bool SqlReferenceRecords::loadRow(const Shape &shape, qint64 id, R *record)
{
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.prepare(QLatin1String(shape.select)))
        return failed(query);
    query.bindValue(QStringLiteral(":id"), id);
    if (!query.exec())
        return failed(query);
    *record = R();
    if (query.next()) {
        record->id = query.value(QStringLiteral("id")).toLongLong();
        record->name = query.value(QStringLiteral("name")).toString();
        record->active = query.value(QStringLiteral("active")).toInt() > 0;
        record->modified = query.value(QStringLiteral("modified"));
        readAll(query, record, shape.columns);
    }
    return true;
}

bool SqlReferenceRecords::load(qint64 id, AminoAcid *record)
{
    return loadRow(aminoShape(), id, record);
}

bool SqlReferenceRecords::load(qint64 id, Conjugate *record)
{
    return loadRow(conjugateShape(), id, record);
}

bool SqlReferenceRecords::load(qint64 id, Denaturant *record)
{
    return loadRow(denaturantShape(), id, record);
}

bool SqlReferenceRecords::loadDensitySeries(qint64 componentId, DensitySeries *series, bool *found)
{
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.prepare(
            QStringLiteral("SELECT id, a, b, c, d, e, f, Cmax, ErrorMax, Source, modified FROM rhoseries WHERE "
                           "id =  (SELECT componentrhoid FROM buffercomponent  WHERE id = :id)")))
        return failed(query);
    query.bindValue(QStringLiteral(":id"), componentId);
    if (!query.exec())
        return failed(query);
    *series = DensitySeries();
    *found = query.next();
    if (*found)
        readAll(query, series, densityColumns());
    return true;
}

bool SqlReferenceRecords::loadViscositySeries(qint64 componentId, ViscositySeries *series, bool *found)
{
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.prepare(
            QStringLiteral("SELECT id, a, b, c, d, e, Cmax, ErrorMax, Source, modified FROM viscseries WHERE "
                           "id =  (SELECT componentviscid FROM buffercomponent  WHERE id = :id)")))
        return failed(query);
    query.bindValue(QStringLiteral(":id"), componentId);
    if (!query.exec())
        return failed(query);
    *series = ViscositySeries();
    *found = query.next();
    if (*found)
        readAll(query, series, viscosityColumns());
    return true;
}

bool SqlReferenceRecords::loadSpectrum(const QString &name, QVector<SpectrumPoint> *points)
{
    points->clear();
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.prepare(
            QStringLiteral("SELECT id, nm, ext FROM extinction WHERE Name = :name AND active > 0 ORDER BY nm ASC")))
        return failed(query);
    query.bindValue(QStringLiteral(":name"), name);
    if (!query.exec())
        return failed(query);
    while (query.next())
        points->append({ query.value(0), query.value(1), query.value(2) });
    return true;
}

// ---- checks

bool SqlReferenceRecords::findName(const QString &table, const QString &name, bool *found, qint64 *id)
{
    *found = false;
    *id = 0;
    bool known = false;
    for (Kind kind : { Kind::Amino, Kind::Conjugates, Kind::Denature, Kind::BufferComponent, Kind::Extinction })
        known = known || table == tableName(kind);
    if (!known) {
        m_error = SqlTransaction::report(m_db, QStringLiteral("%1 is no table of reference records").arg(table));
        return false;
    }
    // The table name is one of the fixed names above; the name is bound.
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.prepare(
            QStringLiteral("SELECT id, name FROM %1 WHERE UPPER(TRIM(name)) = :name AND active > 0").arg(table)))
        return failed(query);
    query.bindValue(QStringLiteral(":name"), foldedName(name));
    if (!query.exec())
        return failed(query);
    *found = query.next();
    if (*found)
        *id = query.value(0).toLongLong();
    return true;
}

bool SqlReferenceRecords::findAminoCode(const QString &code, bool threeLetter, bool *found, qint64 *id)
{
    *found = false;
    *id = 0;
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.prepare(threeLetter ? QStringLiteral("SELECT id FROM amino WHERE namethree = :code AND active > 0")
                                   : QStringLiteral("SELECT id FROM amino WHERE nameone = :code AND active > 0")))
        return failed(query);
    query.bindValue(QStringLiteral(":code"), code);
    if (!query.exec())
        return failed(query);
    *found = query.next();
    if (*found)
        *id = query.value(0).toLongLong();
    return true;
}

bool SqlReferenceRecords::countSpectrumName(const QString &name, int *aminoCodes, int *spectrumRows)
{
    auto count = [this, &name](const char *sql, int *result) {
        QSqlQuery query(m_db);
        query.setForwardOnly(true);
        if (!query.prepare(QLatin1String(sql)))
            return failed(query);
        query.bindValue(QStringLiteral(":name"), name);
        if (!query.exec() || !query.next())
            return failed(query);
        *result = query.value(0).toInt();
        return true;
    };
    return count("SELECT COUNT(*) FROM amino WHERE Namethree = :name", aminoCodes)
        && count("SELECT COUNT(*) FROM extinction WHERE name = :name AND active > 0", spectrumRows);
}

// ---- the editor's writes

template<typename Shape, typename R> bool SqlReferenceRecords::saveRow(const Shape &shape, R *record, bool adding)
{
    SqlTransaction transaction(m_db);
    if (!transaction.isOpen())
        return failed(transaction);
    QSqlQuery query(m_db);
    if (!query.prepare(QLatin1String(adding ? shape.insert : shape.update)))
        return failed(transaction, query);
    query.bindValue(QStringLiteral(":name"), record->name);
    bindAll(query, *record, shape.columns);
    query.bindValue(QStringLiteral(":active"), record->active ? 1 : 0);
    if (!adding)
        query.bindValue(QStringLiteral(":id"), record->id);
    if (!query.exec())
        return failed(transaction, query);
    if (adding) {
        record->id = query.lastInsertId().toLongLong();
    } else if (query.numRowsAffected() < 1) {
        query.finish();
        transaction.fail(QLatin1String(recordGone));
        return failed(transaction);
    }
    query.finish();
    return transaction.commit() || failed(transaction);
}

bool SqlReferenceRecords::add(AminoAcid *record)
{
    return saveRow(aminoShape(), record, true);
}

bool SqlReferenceRecords::change(const AminoAcid &record)
{
    AminoAcid copy = record;
    return saveRow(aminoShape(), &copy, false);
}

bool SqlReferenceRecords::add(Conjugate *record)
{
    return saveRow(conjugateShape(), record, true);
}

bool SqlReferenceRecords::change(const Conjugate &record)
{
    Conjugate copy = record;
    return saveRow(conjugateShape(), &copy, false);
}

bool SqlReferenceRecords::add(Denaturant *record)
{
    return saveRow(denaturantShape(), record, true);
}

bool SqlReferenceRecords::change(const Denaturant &record)
{
    Denaturant copy = record;
    return saveRow(denaturantShape(), &copy, false);
}

bool SqlReferenceRecords::add(BufferComponent *record)
{
    return saveComponent(record, true);
}

bool SqlReferenceRecords::change(const BufferComponent &record)
{
    BufferComponent copy = record;
    return saveComponent(&copy, false);
}

bool SqlReferenceRecords::saveComponent(BufferComponent *record, bool adding)
{
    SqlTransaction transaction(m_db);
    if (!transaction.isOpen())
        return failed(transaction);
    const QVariant none(QVariant::Int); // bound as NULL
    QVariant recordId = none;
    QVariant rhoId = none;
    QVariant viscId = none;
    QSqlQuery query(m_db);

    if (!adding) {
        recordId = record->id;
        if (!query.prepare(
                QStringLiteral("SELECT componentRhoId, componentViscId FROM bufferComponent WHERE id = :id ")))
            return failed(transaction, query);
        query.bindValue(QStringLiteral(":id"), recordId);
        if (!query.exec())
            return failed(transaction, query);
        if (query.next()) {
            if (!query.value(0).isNull())
                rhoId = query.value(0);
            if (!query.value(1).isNull())
                viscId = query.value(1);
        }
        query.finish();
    }

    // One series: inserted when the component gains it, updated while it keeps
    // it, unlinked (the row stays) when it is dropped.
    auto saveSeries = [&](QVariant *seriesId, bool wanted, const char *insert, const char *update, auto bind) {
        if (!wanted) {
            *seriesId = none;
            return true;
        }
        const bool inserting = seriesId->isNull();
        if (!query.prepare(QLatin1String(inserting ? insert : update)))
            return false;
        query.bindValue(QStringLiteral(":name"), record->name);
        bind();
        if (!inserting)
            query.bindValue(QStringLiteral(":id"), recordId);
        if (!query.exec())
            return false;
        if (inserting)
            *seriesId = query.lastInsertId();
        return true;
    };
    if (!saveSeries(&rhoId, record->withDensitySeries,
            "INSERT INTO rhoseries (name, a, b, c, d, e, f, Cmax, ErrorMax, Source) VALUES (:name, :a, :b, :c, :d, "
            ":e, :f, :Cmax, :ErrorMax, :Source)",
            "UPDATE rhoseries SET name = :name, a = :a, b = :b, c = :c, d = :d, e = :e, f = :f, cmax = :Cmax, "
            "errorMax = :ErrorMax, source = :Source WHERE id =  (SELECT componentRhoId FROM bufferComponent  WHERE "
            "id= :id)",
            [&] { bindAll(query, record->densitySeries, densityColumns()); }))
        return failed(transaction, query);
    if (!saveSeries(&viscId, record->withViscositySeries,
            "INSERT INTO viscseries (name, a, b, c, d, e, Cmax, ErrorMax, Source) VALUES (:name, :a, :b, :c, :d, :e, "
            ":Cmax, :ErrorMax, :Source)",
            "UPDATE viscseries SET name = :name, a = :a, b = :b, c = :c, d = :d, e = :e, cmax = :Cmax, "
            "errorMax = :ErrorMax, source = :Source WHERE id =  (SELECT componentViscId FROM bufferComponent  WHERE "
            "id= :id)",
            [&] { bindAll(query, record->viscositySeries, viscosityColumns()); }))
        return failed(transaction, query);

    if (!query.prepare(
            QLatin1String(adding ? "INSERT INTO bufferComponent (name, componentRhoId, componentViscId,  "
                                   "componentDensity, componentMr, active) VALUES (:name, :rhoid, :viscid, "
                                   ":density, :mr, :active)"
                                 : "UPDATE bufferComponent SET name = :name, componentRhoId = :rhoid, "
                                   "componentViscId = :viscid, componentDensity = :density, componentMr = :mr, "
                                   "active = :active WHERE id = :id")))
        return failed(transaction, query);
    query.bindValue(QStringLiteral(":name"), record->name);
    query.bindValue(QStringLiteral(":rhoid"), rhoId);
    query.bindValue(QStringLiteral(":viscid"), viscId);
    query.bindValue(QStringLiteral(":density"), record->density);
    query.bindValue(QStringLiteral(":mr"), record->mr);
    query.bindValue(QStringLiteral(":active"), record->active ? 1 : 0);
    if (!adding)
        query.bindValue(QStringLiteral(":id"), recordId);
    if (!query.exec())
        return failed(transaction, query);
    if (adding) {
        record->id = query.lastInsertId().toLongLong();
    } else if (query.numRowsAffected() < 1) {
        query.finish();
        transaction.fail(QLatin1String(recordGone));
        return failed(transaction);
    }
    query.finish();
    if (!transaction.commit())
        return failed(transaction);
    record->densitySeriesId = rhoId.isNull() ? QVariant() : rhoId;
    record->viscositySeriesId = viscId.isNull() ? QVariant() : viscId;
    return true;
}

bool SqlReferenceRecords::writeSpectrum(const char *sql, const QString &name, const QVector<SpectrumPoint> &points)
{
    SqlTransaction transaction(m_db);
    if (!transaction.isOpen())
        return failed(transaction);
    QSqlQuery query(m_db);
    if (!query.prepare(QLatin1String(sql)))
        return failed(transaction, query);
    for (const SpectrumPoint &point : points) {
        query.bindValue(QStringLiteral(":name"), name);
        query.bindValue(QStringLiteral(":nm"), point.nm);
        query.bindValue(QStringLiteral(":ext"), point.ext);
        if (!query.exec())
            return failed(transaction, query);
    }
    query.finish();
    return transaction.commit() || failed(transaction);
}

bool SqlReferenceRecords::addSpectrum(const QString &name, const QVector<SpectrumPoint> &points)
{
    return writeSpectrum("INSERT INTO extinction (name, nm, ext, active) VALUES (:name, :nm, :ext, 1)", name, points);
}

bool SqlReferenceRecords::changeSpectrum(const QString &name, const QVector<SpectrumPoint> &points)
{
    return writeSpectrum("UPDATE extinction SET ext = :ext WHERE name = :name AND nm = :nm", name, points);
}

bool SqlReferenceRecords::removeSpectrum(const QString &name)
{
    SqlTransaction transaction(m_db);
    if (!transaction.isOpen())
        return failed(transaction);
    QSqlQuery query(m_db);
    if (!query.prepare(QStringLiteral("DELETE FROM extinction WHERE name = :name")))
        return failed(transaction, query);
    query.bindValue(QStringLiteral(":name"), name);
    if (!query.exec())
        return failed(transaction, query);
    query.finish();
    return transaction.commit() || failed(transaction);
}

// ---- the composition pages' lists

bool SqlReferenceRecords::aminoAcidsByCode(QVector<AminoAcid> *rows)
{
    rows->clear();
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT id, Namethree, Nameone, Mr, pka FROM amino WHERE active > 0 ORDER BY "
                                   "Namethree COLLATE NOCASE ASC")))
        return failed(query);
    while (query.next()) {
        AminoAcid row;
        row.id = query.value(0).toLongLong();
        row.threeLetter = query.value(1);
        row.oneLetter = query.value(2);
        row.mr = query.value(3);
        row.pka = query.value(4);
        rows->append(row);
    }
    return true;
}

bool SqlReferenceRecords::aminoCodes(QVector<AminoAcid> *rows)
{
    rows->clear();
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT id, Namethree, nameone FROM amino")))
        return failed(query);
    while (query.next()) {
        AminoAcid row;
        row.id = query.value(0).toLongLong();
        row.threeLetter = query.value(1);
        row.oneLetter = query.value(2);
        rows->append(row);
    }
    return true;
}

bool SqlReferenceRecords::bufferComponents(QVector<BufferComponent> *rows)
{
    rows->clear();
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral("SELECT id, name, componentRhoId, componentViscId, componentDensity, "
                                      "componentMr FROM BufferComponent WHERE active > 0 ORDER BY name"))
        || !query.exec())
        return failed(query);
    while (query.next()) {
        BufferComponent row;
        row.id = query.value(0).toLongLong();
        row.name = query.value(1).toString();
        row.densitySeriesId = query.value(2);
        row.viscositySeriesId = query.value(3);
        row.density = query.value(4);
        row.mr = query.value(5);
        rows->append(row);
    }
    return true;
}

bool SqlReferenceRecords::loadBufferComponent(qint64 id, BufferComponent *record, bool *found)
{
    *found = false;
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral("SELECT id, active, componentDensity, componentMr, componentRhoId, "
                                      "componentViscId, name FROM bufferComponent WHERE id = :id")))
        return failed(query);
    query.bindValue(QStringLiteral(":id"), id);
    if (!query.exec())
        return failed(query);
    *record = BufferComponent();
    *found = query.next();
    if (*found) {
        record->id = query.value(0).toLongLong();
        record->active = query.value(1).toInt() > 0;
        record->density = query.value(2);
        record->mr = query.value(3);
        record->densitySeriesId = query.value(4);
        record->viscositySeriesId = query.value(5);
        record->name = query.value(6).toString();
    }
    return true;
}
