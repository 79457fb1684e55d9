#ifndef GUI_FIGURECHANGES_H
#define GUI_FIGURECHANGES_H

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

// The figures a page gives now beside those it gave before, or those a record
// was saved with: what a change of reference data (or of how the figures are
// computed) has changed, in words a person reads.
class GuiFigureChanges
{
public:
    // Keeps the figure when `now` does not agree with `before` to the digits
    // `before` has: a figure stored with fewer digits (an older release's, an
    // imported one) agrees with the same figure computed in full. Nothing
    // before: nothing to compare. Nothing now (the page cannot give it): a change.
    void compare(const QString &caption, const QVariant &before, const QVariant &now);
    // A change that is no figure ("Glycerol is no longer in the reference data").
    void add(const QString &change);
    bool isEmpty() const { return m_changes.isEmpty(); }
    // The captions of the figures that changed.
    QStringList captions() const;
    // "vbar 0.781142 (saved with 0.76246), Mr 2950.2 (saved with 2950.1)" for
    // the word "saved with".
    QString text(const QString &before) const;

private:
    struct Change
    {
        QString caption; // empty for a change that is no figure
        QVariant before, now;
    };
    QVector<Change> m_changes;
};

#endif
