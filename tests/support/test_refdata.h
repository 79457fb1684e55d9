#ifndef TEST_REFDATA_H
#define TEST_REFDATA_H

#include "test_environment.h"

#include <QString>

// A temporary database file made by the program's own schema creation and filled
// with the shipped reference data; its connection is registered under its path.
class TestReferenceDatabase
{
public:
    TestReferenceDatabase();
    ~TestReferenceDatabase();

    bool isValid() const { return m_valid; }
    QString error() const { return m_error; }
    QString path() const { return m_path; }

    // The id of the row of table whose name column equals name, or -1.
    qlonglong idOf(const QString &table, const QString &name) const;
    // Runs one statement of the test's own on the file; false when it fails.
    bool exec(const QString &statement) const;

private:
    TestDatabaseFiles m_files;
    QString m_path;
    QString m_error;
    bool m_valid = false;
};

#endif
