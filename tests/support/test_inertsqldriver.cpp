#include "test_inertsqldriver.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlDriverCreator>
#include <QSqlResult>
#include <QVariant>

namespace {

class InertResult : public QSqlResult
{
public:
    explicit InertResult(const QSqlDriver *driver) : QSqlResult(driver) { }

protected:
    QVariant data(int) override { return QVariant(); }
    bool isNull(int) override { return true; }
    bool reset(const QString &) override { return false; }
    bool fetch(int) override { return false; }
    bool fetchFirst() override { return false; }
    bool fetchLast() override { return false; }
    int size() override { return -1; }
    int numRowsAffected() override { return -1; }
};

class InertDriver : public QSqlDriver
{
public:
    bool hasFeature(DriverFeature feature) const override { return feature == PreparedQueries; }
    bool open(const QString &, const QString &, const QString &, const QString &, int, const QString &) override
    {
        setOpen(true);
        setOpenError(false);
        return true;
    }
    void close() override { setOpen(false); }
    QSqlResult *createResult() const override { return new InertResult(this); }
};

} // namespace

namespace TestInertSqlDriver {

void registerAs(const QString &driverName)
{
    QSqlDatabase::registerSqlDriver(driverName, new QSqlDriverCreator<InertDriver>);
}

void unregister(const QString &driverName)
{
    QSqlDatabase::registerSqlDriver(driverName, nullptr);
}

} // namespace TestInertSqlDriver
