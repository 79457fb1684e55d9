#include "test_recordsteps.h"

#include "app/app_number.h"
#include "gui/gui_aminoacidsequence.h"
#include "gui/gui_buffercomponents.h"
#include "gui/gui_changepkas.h"
#include "gui/gui_dataupdate.h"
#include "gui/gui_samplecomposition.h"
#include "gui/gui_savetodatabase.h"
#include "gui/gui_standardvalue.h"
#include "gui/gui_watercomposition.h"

#include <QClipboard>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

#include <algorithm>
#include <cmath>

void TestRecordSteps::choose(QComboBox *list, const QString &entry, QMessageBox::StandardButton answer)
{
    int index = 0;
    while (index < list->count() && !list->itemText(index).endsWith(entry) && !list->itemText(index).startsWith(entry))
        ++index;
    QVERIFY2(index < list->count(), qPrintable(entry));
    m_f->answerer.answerMessageBox(answer);
    list->setCurrentIndex(index);
}

void TestRecordSteps::step(const QString &step)
{
    const QString verb = step.section(' ', 0, 0), arg = step.section(' ', 1);
    const QString name = arg.section('=', 0, 0), value = arg.section('=', 1);
    auto *buffer = m_f->widget<GuiBufferComponents>("qtStackBufferComponents");
    auto *sample = m_f->widget<GuiSampleComposition>("qtStackComposition");
    auto openSamplePage = [&] {
        if (m_f->window->stackedWidget->currentWidget() != sample)
            m_f->click("qtFromComposition");
    };
    auto type = [](QLineEdit *field, const QString &text) {
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, "\b" + text + "\r");
    };
    if (verb == "type") {
        type(m_f->widget<QLineEdit>(name), value);
    } else if (verb == "override") {
        m_f->answerer.answerMessageBox(QMessageBox::Yes);
        type(m_f->widget<QLineEdit>(name), value);
    } else if (verb == "click" || verb == "toggle") {
        m_f->widget<QAbstractButton>(arg)->click();
    } else if (verb == "box") {
        m_f->widget<QGroupBox>(name)->setChecked(value == "on");
    } else if (verb == "tab") {
        m_f->showTab(arg);
    } else if (verb == "std") {
        m_f->answerer.answerWith([value](QWidget *w) {
            auto *d = qobject_cast<GuiStandardValue *>(w);
            QVERIFY(d);
            d->qtValue->setText(value.section('@', 0, 0));
            d->qtTemperature->setText(value.section('@', 1));
            d->accept();
        });
        m_f->click(name);
    } else if (verb == "new") {
        m_f->window->actionNew_Data_Entry_Form->trigger();
    } else if (verb == "buffer" || verb == "compose") {
        m_f->click("qtDensityCompute");
        buffer->qtCalculateViscosity->setChecked(true);
        for (const QString &component : arg.split(',')) {
            const QList<QTableWidgetItem *> rows
                = buffer->qtComponents->findItems(component.section('=', 0, 0), Qt::MatchExactly);
            QVERIFY2(!rows.isEmpty(), qPrintable(component));
            buffer->qtComponents->setCurrentItem(rows.first());
            buffer->qtAddComponent->click();
            buffer->qtAddedComponents->item(rows.first()->row(), 1)->setText(component.section('=', 1));
        }
        if (verb == "buffer")
            buffer->qtButtonBox->button(QDialogButtonBox::Ok)->click();
    } else if (verb == "heavy") {
        const QStringList shares = arg.split('/');
        const double d2o = shares.value(0).toDouble(), d2o18 = shares.value(1).toDouble(),
                     h2o18 = shares.value(2).toDouble();
        m_f->click("qtDensityCompute");
        buffer->qtHeavyWater->setChecked(true);
        buffer->qtWaterComposition->setValues(d2o, d2o18, h2o18, 100 - d2o - d2o18 - h2o18);
        buffer->qtButtonBox->button(QDialogButtonBox::Ok)->click();
    } else if (verb == "counts" || verb == "residues") {
        openSamplePage();
        sample->qtCalculateMr->setChecked(true);
        for (const QString &entry : arg.split(',')) {
            const QList<QTableWidgetItem *> rows
                = sample->qtAminoAcids->findItems(entry.section('=', 0, 0), Qt::MatchExactly);
            QVERIFY2(!rows.isEmpty(), qPrintable(entry));
            sample->qtAminoAcids->item(rows.first()->row(), GuiSampleComposition::AminoCountColumn)
                ->setText(entry.section('=', 1));
        }
        if (verb == "counts")
            sample->qtButtonBox->button(QDialogButtonBox::Ok)->click();
    } else if (verb == "conjugate") {
        openSamplePage();
        const QList<QTableWidgetItem *> rows = sample->qtConjugates->findItems(name, Qt::MatchExactly);
        QVERIFY2(!rows.isEmpty(), qPrintable(name));
        sample->qtConjugates->item(rows.first()->row(), GuiSampleComposition::ConjugateAmountColumn)->setText(value);
    } else if (verb == "save" || verb == "pagesave") {
        const QStringList parts = value.split('+');
        // A link names the record its tab shows, as a person picks it.
        QHash<QString, QVariant> shownIds;
        for (const char *kind : { "sample", "solvent", "results" }) {
            const auto *list = m_f->widget<QComboBox>(kind == QLatin1String("sample") ? "qtSampleName"
                    : kind == QLatin1String("solvent")                                ? "qtBufferName"
                                                                                      : "qtResultsName");
            if (list->currentIndex() > 0)
                shownIds.insert(kind, list->currentData(Qt::UserRole));
        }
        // "!Save": the answer to the question the save asks (an overwrite, a changed link).
        QMessageBox::StandardButton reply = QMessageBox::NoButton;
        for (const QString &part : parts) {
            if (part.startsWith('!'))
                reply = part == "!Save" ? QMessageBox::Save : part == "!Yes" ? QMessageBox::Yes : QMessageBox::Cancel;
        }
        TestModalAnswerer *answerer = &m_f->answerer;
        // Later: a box the save shows must find the answerer free.
        m_f->answerer.answerWith([name, parts, shownIds, reply, answerer](QWidget *w) {
            QTimer::singleShot(0, w, [name, parts, shownIds, reply, answerer, w] {
                auto *d = qobject_cast<GuiSaveToDatabase *>(w);
                QVERIFY(d);
                QComboBox *box = name == "sample" ? d->qtSampleName
                    : name == "solvent"           ? d->qtSolventName
                    : name == "experiment"        ? d->qtExperimentName
                                                  : d->qtResultsName;
                QDialogButtonBox *buttons = name == "sample" ? d->qtSampleButtonBox
                    : name == "solvent"                      ? d->qtSolventButtonBox
                    : name == "experiment"                   ? d->qtExperimentButtonBox
                                                             : d->qtResultsButtonBox;
                box->lineEdit()->setText(parts.first());
                if (parts.contains("offered")) {
                    // The links as the dialog offers them.
                } else {
                    d->qtLinkToSample->setChecked(parts.contains("sample"));
                    d->qtLinkToSolvent->setChecked(parts.contains("solvent"));
                    d->qtLinkToResults->setChecked(parts.contains("results"));
                    const QPair<QString, QComboBox *> links[] = { { "sample", d->qtLinkToSampleName },
                        { "solvent", d->qtLinkToSolventName }, { "results", d->qtLinkToResultsName } };
                    for (const auto &link : links) {
                        const int index = link.second->findData(shownIds.value(link.first), Qt::UserRole);
                        if (parts.contains(link.first) && shownIds.contains(link.first) && index >= 0)
                            link.second->setCurrentIndex(index);
                    }
                }
                if (reply != QMessageBox::NoButton)
                    answerer->answerMessageBox(reply);
                buttons->button(QDialogButtonBox::Save)->click();
                d->close();
            });
        });
        if (verb == "pagesave" && name == "sample")
            sample->qtSaveToSampleDB->click();
        else if (verb == "pagesave")
            buffer->qtSaveToDatabase->click();
        else
            m_f->click(name == "sample"    ? "qtSampleSaveToDB"
                    : name == "solvent"    ? "qtBufferSaveToDB"
                    : name == "experiment" ? "qtExperimentSaveToDB"
                                           : "qtResultsSaveToDB");
    } else if (verb == "paste") {
        openSamplePage();
        sample->qtCalculateMr->setChecked(true);
        m_f->answerer.answerWith([arg](QWidget *w) {
            auto *dialog = qobject_cast<GuiAminoAcidSequence *>(w);
            QVERIFY(dialog);
            QApplication::clipboard()->setText(arg);
            dialog->qtPaste->click();
            dialog->accept();
        });
        m_f->answerer.answerMessageBox(QMessageBox::Yes); // the cysteines become disulfides
        sample->findChild<QPushButton *>("qtEditAASequence")->click();
        sample->qtButtonBox->button(QDialogButtonBox::Ok)->click();
    } else if (verb == "pkas") {
        openSamplePage();
        m_f->answerer.answerWith([arg](QWidget *w) {
            auto *dialog = qobject_cast<GuiChangePkas *>(w);
            QVERIFY(dialog);
            dialog->qtAmino->setText(arg.section('/', 0, 0));
            dialog->qtCarboxyl->setText(arg.section('/', 1));
            dialog->accept();
        });
        sample->qtChangePeptide->click();
    } else if (verb == "ok" || verb == "cancel") {
        const QDialogButtonBox::StandardButton button = verb == "ok" ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel;
        if (m_f->window->stackedWidget->currentWidget() == sample)
            sample->qtButtonBox->button(button)->click();
        else
            buffer->qtButtonBox->button(button)->click();
    } else if (verb == "denaturant") {
        openSamplePage();
        if (!sample->qtUseDefinedDenaturant->isChecked())
            sample->qtUseDefinedDenaturant->click();
        const QList<QListWidgetItem *> items = sample->qtDenaturants->findItems(arg, Qt::MatchExactly);
        QVERIFY2(!items.isEmpty(), qPrintable(arg));
        QTest::mouseClick(sample->qtDenaturants->viewport(), Qt::LeftButton, {},
            sample->qtDenaturants->visualItemRect(items.first()).center());
    } else if (verb == "refdata") {
        const QString table = arg.section('/', 0, 0), record = arg.section('/', 1, 1), change = arg.section('/', 2);
        GuiDataUpdate *editor = m_f->window->referenceDataEditor();
        const struct
        {
            const char *table;
            QAction *page;
            QDialogButtonBox *buttons;
        } tables[] = { { "amino", m_f->window->actionUpdate_Amino_Acid_Data, editor->qtAAButtonBox },
            { "conjugate", m_f->window->actionUpdate_Conjugate_Data, editor->qtConjugateButtonBox },
            { "denaturant", m_f->window->actionUpdate_Denaturants_Data, editor->qtDenaturantButtonBox },
            { "component", m_f->window->actionUpdate_BufferComponents_Data, editor->qtComponentButtonBox } };
        QDialogButtonBox *buttons = nullptr;
        for (const auto &t : tables) {
            if (table == QLatin1String(t.table)) {
                t.page->trigger();
                buttons = t.buttons;
            }
        }
        QVERIFY2(buttons, qPrintable(table));
        editor->qtRecordSearch->clear();
        QTest::keyClicks(editor->qtRecordSearch, record);
        QCOMPARE(editor->qtRecordName->text(), record);
        if (change == "delete") {
            editor->qtRecordDelete->click();
        } else {
            auto *field = editor->findChild<QLineEdit *>(change.section('=', 0, 0));
            QVERIFY2(field, qPrintable(change));
            // Typed, so that the editor offers Apply.
            field->selectAll();
            QTest::keyClick(field, Qt::Key_Delete);
            QTest::keyClicks(field, change.section('=', 1));
        }
        QPushButton *apply = buttons->button(QDialogButtonBox::Apply);
        QVERIFY2(apply->isEnabled(), qPrintable(arg));
        apply->click();
    } else if (verb == "load") {
        choose(m_f->widget<QComboBox>(name), value);
    } else if (verb == "restart") {
        QVERIFY(m_f->start());
    } else if (verb == "sql") {
        QVERIFY2(m_f->sql(arg), qPrintable(arg));
    } else if (verb == "answer") {
        m_f->answerer.answerMessageBox(QMessageBox::Ok);
    } else {
        QFAIL(qPrintable("unknown step " + step));
    }
}

void TestRecordSteps::steps(const QString &scenario)
{
    for (const QString &s : scenario.split(';', Qt::SkipEmptyParts)) {
        step(s.trimmed());
        if (QTest::currentTestFailed())
            return;
    }
}

QStringList TestRecordSteps::shown(Part part) const
{
    for (const char *tab : { "qtTabResults", "qtTabSample", "qtTabSolvent", "qtTabExperiment" })
        m_f->showTab(tab);
    const bool all = part == Part::All;
    const bool sampleShown = all || part == Part::Sample, solventShown = all || part == Part::Solvent,
               experimentShown = all || part == Part::Experiment || part == Part::Run,
               resultsShown = all || part == Part::Results;
    QStringList texts;
    auto fields = [&](std::initializer_list<const char *> names) {
        for (const char *name : names)
            texts << QString::fromLatin1(name) + '=' + m_f->text(name);
    };
    auto buttons = [&](std::initializer_list<const char *> names) {
        for (const char *name : names)
            texts << QString::fromLatin1(name) + '=' + (m_f->checked(name) ? "on" : "off");
    };
    auto list = [&](const char *name) {
        const auto *l = m_f->widget<QComboBox>(name);
        texts << QString::fromLatin1(name) + '='
                + (l->currentIndex() > 0         ? l->currentText()
                        : l->currentIndex() == 0 ? l->itemText(0)
                                                 : "(no entry)");
    };
    // What a standard-value dialog holds is what its next OK takes to 20 C.
    auto dialog = [&](const GuiStandardValue *d) {
        texts << d->qtHeader->text() + '=' + d->qtValue->text() + '@' + d->qtTemperature->text();
    };
    if (sampleShown) {
        fields({ "qtSampleVbar", "qtSedVelocityK" });
        buttons({ "qtVbarDirectEntry", "qtVbarStandard", "qtVbarCompute" });
        dialog(m_f->window->vbarStandardValue());
        list("qtSampleName");
        const auto *sample = m_f->widget<GuiSampleComposition>("qtStackComposition");
        for (const QLineEdit *field : std::initializer_list<const QLineEdit *> { sample->qtCalculatedVBar,
                 sample->qtCalculatedMR, sample->qtCalculatedHydration, sample->qtUnDenaturedVBar,
                 sample->qtCalculatedVBarWater, sample->qtpH, sample->qtOligomerN, sample->qtTotalAminos })
            texts << field->objectName() + '=' + field->text();
        for (const QLabel *label :
            { sample->qtpHLabel, sample->qtpHCharge, sample->qtIsoElectricPoint, sample->qtAbsExtinction })
            texts << label->objectName() + '=' + label->text();
        for (const QAbstractButton *box : std::initializer_list<const QAbstractButton *> { sample->qtMakeOligomer,
                 sample->qtUseDefinedDenaturant, sample->qtTitrableAmino, sample->qtTitrableCarboxyl })
            texts << box->objectName() + '=' + (box->isChecked() ? "on" : "off");
        for (const QGroupBox *box : { sample->qtCalculateVbar, sample->qtCalculateMr, sample->qtCalculateHydration })
            texts << box->objectName() + '=' + (box->isChecked() ? "on" : "off");
        texts << "denaturant=" + sample->denaturant() << "sequence=" + sample->sequenceToStore()
              << "sequence dialog=" + sample->aminoAcidSequenceDialog()->qtSequenceEdit->toPlainText()
              << QString("pkas=%1/%2").arg(sample->aminoValue()).arg(sample->carboxylValue());
        for (const QTableWidget *table : { sample->qtAminoAcids, sample->qtConjugates }) {
            const int column = table == sample->qtAminoAcids ? GuiSampleComposition::AminoCountColumn
                                                             : GuiSampleComposition::ConjugateAmountColumn;
            for (int row = 0; row < table->rowCount(); ++row) {
                const QTableWidgetItem *cell = table->item(row, column);
                if (cell && !cell->text().isEmpty())
                    texts << table->item(row, 0)->text() + '=' + cell->text();
            }
        }
    }
    if (solventShown) {
        fields({ "qtBufferDensity", "qtBufferViscosity", "qtBufferpH" });
        buttons({ "qtDensityDirectEntry", "qtDensityStandard", "qtDensityCompute", "qtViscosityDirectEntry",
            "qtViscosityStandard", "qtViscosityCompute" });
        dialog(m_f->window->densityStandardValue());
        dialog(m_f->window->viscosityStandardValue());
        list("qtBufferName");
        const auto *buffer = m_f->widget<GuiBufferComponents>("qtStackBufferComponents");
        for (const QGroupBox *box : { buffer->qtCalculateDensity, buffer->qtCalculateViscosity, buffer->qtHeavyWater })
            texts << box->objectName() + '=' + (box->isChecked() ? "on" : "off");
        for (const QLineEdit *field :
            { buffer->qtDensity, buffer->qtViscosity, buffer->qtCorrectedDensity, buffer->qtCorrectedViscosity })
            texts << field->objectName() + '=' + field->text();
        texts << "water=" + AppNumber::toText(buffer->qtWaterComposition->D2O()) + '/'
                + AppNumber::toText(buffer->qtWaterComposition->D2O18()) + '/'
                + AppNumber::toText(buffer->qtWaterComposition->H2O18());
        for (int row = 0; row < buffer->qtAddedComponents->rowCount(); ++row) {
            if (!buffer->qtAddedComponents->isRowHidden(row))
                texts << buffer->qtAddedComponents->item(row, 0)->text() + '='
                        + buffer->qtAddedComponents->item(row, 1)->text();
        }
    }
    if (experimentShown) {
        fields({ "qtSedEquilibriumTemp", "qtSedEquilibriumRPM", "qtSedEquilibriumSigma", "qtSedEquilibriumMR",
            "qtSedVelocityTemp", "qtSedVelocityConcentration", "qtSedVelocityCoefficient", "qtSedVelocityK",
            "qtExperimentResultsMb", "qtExperimentResultsRp", "qtExperimentResultsS", "qtS20WLabel" });
        buttons({ "qtExactMolecularWeight", "qtFromSigma", "qtFromComposition" });
        list("qtExperimentName");
        // The run's own vbar, density and viscosity, with how it got them.
        if (part == Part::Run) {
            fields({ "qtSampleVbar", "qtBufferDensity", "qtBufferViscosity" });
            buttons(
                { "qtVbarDirectEntry", "qtVbarStandard", "qtVbarCompute", "qtDensityDirectEntry", "qtDensityStandard",
                    "qtDensityCompute", "qtViscosityDirectEntry", "qtViscosityStandard", "qtViscosityCompute" });
            dialog(m_f->window->vbarStandardValue());
            dialog(m_f->window->densityStandardValue());
            dialog(m_f->window->viscosityStandardValue());
        }
    }
    if (resultsShown) {
        fields({ "qtRStokes", "qtVbarRo", "qtTellerRp", "qtVbarFo", "qtTellerFp", "qtVbarffo", "qtTellerffp",
            "qtVbarSmax", "qtTellerSmax", "qtVbarDmax", "qtTellerDmax", "qtVbarDelta1max", "qtTellerDelta1max",
            "qtVbarmaxab", "qtTellermaxab", "qtVbar2amax", "qtTeller2amax", "qtVbar2bmin", "qtTeller2bmin",
            "qtHydrateRatio", "qtResultsErrorText" });
        buttons({ "qtVbarMethod", "qtTellerMethod", "qtHydrateNothing", "qtHydrateProlate", "qtHydrateOblate",
            "qtHydrateComputed", "qtHydrateDelta1", "qtShapeProlate", "qtShapeOblate", "qtShapeCylinder" });
        texts << QString("computed hydration offered=")
                + (m_f->widget("qtHydrateComputed")->isEnabled() ? "yes" : "no");
        list("qtResultsName");
    }
    return texts;
}

QStringList TestRecordSteps::differences(const QStringList &before, const QStringList &after, double relative)
{
    QStringList changed;
    for (int i = 0; i < std::max(before.size(), after.size()); ++i) {
        const QString a = before.value(i), b = after.value(i);
        double x = 0, y = 0;
        const QString av = a.section('=', 1), bv = b.section('=', 1);
        if (a != b
            && !(a.section('=', 0, 0) == b.section('=', 0, 0) && AppNumber::fromText(av, &x)
                && AppNumber::fromText(bv, &y) && (x == y || std::fabs(x - y) <= relative * std::fabs(x))))
            changed << a + " became " + bv;
    }
    return changed;
}

QStringList TestRecordSteps::without(QStringList texts, const QStringList &names)
{
    texts.erase(std::remove_if(texts.begin(), texts.end(),
                    [&names](const QString &text) { return names.contains(text.section('=', 0, 0)); }),
        texts.end());
    return texts;
}
