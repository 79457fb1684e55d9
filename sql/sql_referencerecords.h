#ifndef SQL_REFERENCERECORDS_H
#define SQL_REFERENCERECORDS_H

#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <QVector>

class QSqlQuery;
class SqlTransaction;

// The reference rows of a database: amino acids, conjugates, denaturants,
// buffer components with their density and viscosity series, and extinction
// spectra, as the composition pages list them and the reference data editor
// shows and writes them. Every member returns false on a failure, which error()
// then names by the database file and the driver's text; a write is one
// transaction, so a failed one leaves nothing behind.
//
// Values are QVariants: loaded, what the row holds (NULL stays null); saved,
// what a person typed, bound as text, which a numeric column stores as the
// number it reads, every digit kept (an empty text stays empty text).
class SqlReferenceRecords
{
public:
    // The five reference tables, in the order the editor offers them.
    enum class Kind { Amino = 0, Conjugates = 1, Denature = 2, BufferComponent = 3, Extinction = 4 };

    struct AminoAcid
    {
        qint64 id = 0;
        QString name;
        QVariant threeLetter;
        QVariant oneLetter;
        QVariant mr;
        QVariant covalent;
        QVariant vbar;
        QVariant hipH7;
        QVariant hipH4;
        QVariant extinction;
        QVariant charge;
        QVariant pka;
        bool active = true;
        QVariant modified;
    };

    struct Conjugate
    {
        qint64 id = 0;
        QString name;
        QVariant mr;
        QVariant covalent;
        QVariant vbar;
        QVariant hipH7;
        QVariant hipH4;
        QVariant extinction;
        QVariant charge;
        QVariant pka;
        QVariant mCutoff;
        QVariant carbo;
        bool active = true;
        QVariant modified;
    };

    struct Denaturant
    {
        qint64 id = 0;
        QString name;
        QVariant rhomin;
        QVariant v3;
        QVariant g3;
        QVariant md;
        QVariant carbo;
        bool active = true;
        QVariant modified;
    };

    // Density in g/ml against molar concentration (coefficients a to f).
    struct DensitySeries
    {
        QVariant a, b, c, d, e, f;
        QVariant cmax;
        QVariant errorMax;
        QVariant source;
    };

    // Viscosity relative to water against molar concentration (a to e).
    struct ViscositySeries
    {
        QVariant a, b, c, d, e;
        QVariant cmax;
        QVariant errorMax;
        QVariant source;
    };

    struct BufferComponent
    {
        qint64 id = 0;
        QString name;
        QVariant densitySeriesId; // null when it links none
        QVariant viscositySeriesId;
        QVariant density; // for unit conversion; null when not given
        QVariant mr;
        bool active = true;
        QVariant modified;
        // What a save writes of the series: one left out is unlinked, its row kept.
        bool withDensitySeries = false;
        DensitySeries densitySeries;
        bool withViscositySeries = false;
        ViscositySeries viscositySeries;
    };

    // One wavelength of a spectrum.
    struct SpectrumPoint
    {
        QVariant id;
        QVariant nm;
        QVariant ext;
    };

    // One entry of the editor's listing; a spectrum's carries its name only.
    struct Listed
    {
        qint64 id = 0;
        QString name;
        QVariant density; // buffer components only
        QVariant mr;
        QVariant modified;
    };

    explicit SqlReferenceRecords(const QSqlDatabase &db);

    // "file:\ndriver text" of the last failure.
    QString error() const { return m_error; }

    static QString tableName(Kind kind);
    // A name as the database's UPPER folds it: ASCII letters only, so that an
    // identical name with another letter cannot slip past a comparison.
    static QString foldedName(const QString &name);

    // The active records of a table by name, ignoring case; spectra once each.
    bool list(Kind kind, QVector<Listed> *rows);
    // The record of this id; emptied when there is none.
    bool load(qint64 id, AminoAcid *record);
    bool load(qint64 id, Conjugate *record);
    bool load(qint64 id, Denaturant *record);
    // The series a component links; emptied, with *found false, when it links none.
    bool loadDensitySeries(qint64 componentId, DensitySeries *series, bool *found);
    bool loadViscositySeries(qint64 componentId, ViscositySeries *series, bool *found);
    // The active points of a spectrum, by wavelength.
    bool loadSpectrum(const QString &name, QVector<SpectrumPoint> *points);

    // The id of an active record whose stored name, without blanks around it,
    // is this one as foldedName() compares names; table is one of the tableName()s.
    bool findName(const QString &table, const QString &name, bool *found, qint64 *id);
    // The id of an active amino acid with this code, exactly as given.
    bool findAminoCode(const QString &code, bool threeLetter, bool *found, qint64 *id);
    // How many amino acids, active or not, have this three-letter code, and how
    // many active rows a spectrum of this name has.
    bool countSpectrumName(const QString &name, int *aminoCodes, int *spectrumRows);

    // An add sets the new id; a change of a record that is gone fails.
    bool add(AminoAcid *record);
    bool change(const AminoAcid &record);
    bool add(Conjugate *record);
    bool change(const Conjugate &record);
    bool add(Denaturant *record);
    bool change(const Denaturant &record);
    bool add(BufferComponent *record);
    bool change(const BufferComponent &record);
    // A spectrum's points are added under its name, or change the stored point
    // of the same wavelength; a removal takes every row of the name.
    bool addSpectrum(const QString &name, const QVector<SpectrumPoint> &points);
    bool changeSpectrum(const QString &name, const QVector<SpectrumPoint> &points);
    bool removeSpectrum(const QString &name);

    // The sample page's residues: active, by three-letter code, with id, codes, Mr and pKa.
    bool aminoAcidsByCode(QVector<AminoAcid> *rows);
    // Every residue's id and codes, active or not, as the sequence editor reads codes.
    bool aminoCodes(QVector<AminoAcid> *rows);
    // The buffer page's components: active, by name, without series values.
    bool bufferComponents(QVector<BufferComponent> *rows);
    // One component by id, active or not.
    bool loadBufferComponent(qint64 id, BufferComponent *record, bool *found);

private:
    template<typename Shape, typename R> bool loadRow(const Shape &shape, qint64 id, R *record);
    template<typename Shape, typename R> bool saveRow(const Shape &shape, R *record, bool adding);
    bool saveComponent(BufferComponent *record, bool adding);
    bool writeSpectrum(const char *sql, const QString &name, const QVector<SpectrumPoint> &points);
    bool failed(QSqlQuery &query);
    bool failed(SqlTransaction &transaction, QSqlQuery &query);
    bool failed(const SqlTransaction &transaction);

    QSqlDatabase m_db;
    QString m_error;
};

#endif
