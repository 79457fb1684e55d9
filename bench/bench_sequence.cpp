// Times the sequence tools on a long protein: reading a 35,000-residue .SEQ file
// into the editor, typing one residue at its end, pasting 35,000 residues,
// applying them to the residue table, pasting 1,000,000 residues and applying
// them with the disulfide conversion, reading a 10,000-line .SMP file and
// building the summary HTML. Prints the medians; a missed target fails the run.

#include "bench_support.h"
#include "gui/gui_aminoacidsequence.h"
#include "gui/gui_samplecomposition.h"
#include "gui/gui_vornakel.h"
#include "test_environment.h"
#include "test_modalanswerer.h"
#include "test_refdata.h"

#include <QApplication>
#include <QClipboard>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

int main(int argc, char **argv)
{
    Bench::offscreenUnlessSet();
    QApplication app(argc, argv);
    TestSettings settings;
    TestModalAnswerer answerer;
    TestReferenceDatabase db;
    GuiVornakel window(db.path());
    if (!db.isValid() || !window.initVornakel()) {
        std::fprintf(stderr, "bench_sequence: no database or window\n");
        return 1;
    }
    GuiSampleComposition &page = *window.qtStackComposition;
    GuiAminoAcidSequence &dialog = *page.aminoAcidSequenceDialog();
    GuiAminoAcidSequenceEdit *edit = dialog.qtSequenceEdit;
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog))
        std::fprintf(stderr, "bench_sequence: the dialog was not shown\n");

    const QString codes = QStringLiteral("ARNDCQEGHILKMFPSTWYV ");
    QString sequence;
    for (int i = 0; i < 35000; ++i)
        sequence += codes.at((i * 7) % codes.size());
    QTemporaryDir dir;
    const QString seqPath = dir.filePath(QStringLiteral("long.SEQ"));
    GuiAminoAcidSequence::writeFile(nullptr, seqPath, sequence.toLatin1());

    const double read = Bench::medianMs(11, [&] {
        QByteArray data;
        GuiAminoAcidSequence::readFile(nullptr, seqPath, &data);
        edit->setSequenceFromFile(data, false);
        QCoreApplication::processEvents();
    });

    edit->setFocus();
    const double typeOne = Bench::medianMs(
        51,
        [&] {
            QTest::keyClick(edit, Qt::Key_A);
            QCoreApplication::processEvents();
        },
        [&] { edit->moveCursor(QTextCursor::End); });

    const double paste = Bench::medianMs(
        11,
        [&] {
            edit->paste();
            QCoreApplication::processEvents();
        },
        [&] {
            edit->setPlainText(QString());
            QApplication::clipboard()->setText(sequence.toLower() + QStringLiteral("\n123-"));
        });
    const QString pasted = edit->toPlainText();

    const double apply = Bench::medianMs(11, [&] { page.populateAminoTableFromSequence(pasted, false); });

    // A whole proteome's worth: pasted, then Ok and Yes to the disulfide question.
    QString million;
    million.reserve(1000000);
    for (int i = 0; i < 1000000; ++i)
        million += codes.at((i * 7) % (codes.size() - 1));
    const double pasteConverted = Bench::medianMs(
        5,
        [&] {
            edit->paste();
            QCoreApplication::processEvents();
            page.populateAminoTableFromSequence(dialog.sequence(), true);
        },
        [&] {
            edit->setPlainText(QString());
            QApplication::clipboard()->setText(million);
        });
    edit->setPlainText(QString());

    QString smp;
    QStringList aminoNames, conjugateNames;
    for (int row = 0; row < page.qtAminoAcids->rowCount(); ++row)
        aminoNames << page.qtAminoAcids->item(row, 0)->text();
    for (int row = 0; row < page.qtConjugates->rowCount(); ++row)
        conjugateNames << page.qtConjugates->item(row, 0)->text();
    for (int i = 0; i < 5000; ++i)
        smp += aminoNames.at(i % aminoNames.size()) + QStringLiteral("\t%1\n").arg(i % 17);
    smp += QLatin1Char('\n');
    for (int i = 0; i < 4999; ++i)
        smp += conjugateNames.at(i % conjugateNames.size()) + QStringLiteral("\t%1\n").arg(i % 5);
    const double readSmp = Bench::medianMs(11, [&] { page.readCompositionText(smp); });

    const double summary = Bench::medianMs(21, [&] { page.summaryHtml(); });

    Bench::note(QStringLiteral("bench_sequence: medians of 5 to 51 runs"));
    Bench::report(QStringLiteral("read a 35,000-residue .SEQ file into the editor"), read, "ms", Bench::atMost(300));
    Bench::report(QStringLiteral("type one residue at its end"), typeOne, "ms", Bench::atMost(16));
    Bench::report(QStringLiteral("paste 35,000 residues"), paste, "ms", Bench::atMost(300));
    Bench::report(QStringLiteral("apply them to the residue table"), apply, "ms", Bench::atMost(300));
    Bench::report(
        QStringLiteral("paste 1,000,000 residues, cysteines as disulfides"), pasteConverted, "ms", Bench::atMost(1000));
    Bench::report(QStringLiteral("read a 10,000-line .SMP file"), readSmp, "ms", Bench::atMost(300));
    Bench::report(QStringLiteral("build the summary HTML"), summary, "ms", Bench::atMost(300));
    return Bench::exitCode();
}
