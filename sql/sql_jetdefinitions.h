#ifndef SQL_JETDEFINITIONS_H
#define SQL_JETDEFINITIONS_H

#include <QString>
#include <QStringList>

#include <memory>

// The table definitions of an Access (Jet) file as the file itself holds
// them, read through the MDBTools library that the ODBC driver is built on:
// each definition counts its table's rows, which tells rows the driver
// could not read from a table that holds none; and what a definition and
// its data pages hold that no sound file holds tells damage that the driver
// reads without a word. Part of the reader program only; the program's own
// process never loads the library.
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
    // What no sound file holds, one line each: a row whose offset points
    // into its page's header or free space (the driver reads it as a row of
    // empty values), two columns of the definition under one number (their
    // values arrive in other columns), and a definition that counts no
    // columns of variable length while it lists some (their values arrive
    // empty). Empty when none is found or the definition cannot be read.
    QStringList damage(const QString &table) const;

private:
    struct Handle;
    std::unique_ptr<Handle> m_handle;
};

#endif
