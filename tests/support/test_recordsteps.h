#ifndef TEST_RECORDSTEPS_H
#define TEST_RECORDSTEPS_H

#include "test_mainwindow.h"

#include <QMessageBox>
#include <QString>
#include <QStringList>

class QComboBox;

// A day with the main window in a few words: each step is one thing a person
// does through the real widgets, and what the tabs show is read back as text.
// A widget is named by its object name, or by its page's and its own where two
// pages have one of that name ("qtStackComposition/qtpH").
//
//   type F=V            the field's text typed, then Return
//   override F=V        typed over a computed radius or s20,w, its question answered Yes
//   click B | toggle B  a button or check box (on the tabs or a composition page) clicked
//   box G=on|off        a checkable group box (a page's Calculate box) set
//   tab T               a tab shown
//   std B=V@T           a standard value given through the dialog of button B
//   new                 File > New Data Entry Form
//   buffer N=C,N=C      composed on the buffer page, both figures computed, OK
//                       (compose: the page left open)
//   heavy P[/Q/R]       P % D2O (and Q % D2-18O, R % H2-18O) on the buffer page, OK
//   counts R=N,R=N      the sample page's counts, its three figures computed, OK
//                       (residues: the page left open)
//   conjugate N=A       a conjugate's amount on the open sample page
//   paste SEQUENCE      into the sequence dialog, disulfides made, OK
//   pkas A/C            the end groups' pKas through their dialog
//   denaturant NAME     a denaturant chosen on the open sample page
//   ok | cancel         the open page's OK or Cancel
//   save KIND=NAME[+sample+solvent+results|+offered][+!Save]   through the tab's save button
//                       with those links (or those the dialog offers), the question it asks
//                       answered (pagesave: by the open page's button)
//   load LIST=NAME      an entry of a record list chosen, its question answered OK
//   refdata T/NAME/F=V  in the window's reference data editor, record NAME of table T (amino, conjugate,
//                       denaturant, component) given V in field F, or deactivated (T/NAME/delete), Apply
//   restart | sql STATEMENT | answer (the next box gets OK)
class TestRecordSteps
{
public:
    // What a window shows of a kind of record, or of all of them. A run is
    // the Experiment tab with the vbar, density and viscosity it stores.
    enum class Part { All, Sample, Solvent, Experiment, Run, Results };

    explicit TestRecordSteps(TestMainWindow *window) : m_f(window) { }

    void step(const QString &step);
    // Stops at the first step that fails.
    void steps(const QString &scenario);

    // Picks the list entry that shows `entry` (its start or end) and answers the question.
    void choose(QComboBox *list, const QString &entry, QMessageBox::StandardButton answer = QMessageBox::Ok);

    // Every figure, choice and source the tabs, the two composition pages and
    // the standard-value dialogs show of that part, as "name=text" lines. A
    // source button counts as its tab shows it; the Results tab shows its
    // figures once it is shown.
    QStringList shown(Part part = Part::All) const;
    // The lines that differ: the same texts, or the same numbers (a field's
    // "1.000" may come back as 1), or numbers within `relative` of each other.
    static QStringList differences(const QStringList &before, const QStringList &after, double relative = 0);
    // The lines of `texts` but those of the names given.
    static QStringList without(QStringList texts, const QStringList &names);

private:
    TestMainWindow *m_f;
};

#endif
