#ifndef SQL_JETDEFINITIONS_H
#define SQL_JETDEFINITIONS_H

#include <QString>

#include <memory>

// The table definitions of an Access (Jet) file as the file itself holds
// them, read through the MDBTools library that the ODBC driver is built on:
// each definition counts its table's rows, which tells rows the driver
// could not read from a table that holds none. Part of the reader program
// only; the program's own process never loads the library.
class SqlJetDefinitions
{
public:
    explicit SqlJetDefinitions(const QString &file);
    ~SqlJetDefinitions();
    SqlJetDefinitions(const SqlJetDefinitions &) = delete;
    SqlJetDefinitions &operator=(const SqlJetDefinitions &) = delete;

    // The rows the definition of the table counts (its name in any letter
    // case), or -1 when the file or the definition cannot be read.
    qint64 rowCount(const QString &table) const;

private:
    struct Handle;
    std::unique_ptr<Handle> m_handle;
};

#endif
