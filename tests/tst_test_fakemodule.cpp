// The recording calculation module of the test-support library.

#include "app/app_calculationcontract.h"
#include "app/app_scriptobject.h"

#include "test_fakemodule.h"
#include "test_log.h"

#include <QLineEdit>
#include <QtTest>

#include <memory>

class TstTestFakeModule : public QObject
{
    Q_OBJECT

private slots:
    void recordsCallsInOrderWithTheirInputs()
    {
        TestFakeModule module;
        QCOMPARE(module.moduleName() + ' ' + module.moduleVersion(), QStringLiteral("MainScreen 20120412"));
        delete AppCalculationContract::calculateRp.call(&module, QVariant(14305.0), QVariant(0.7175));
        delete AppCalculationContract::viscosityAtT.call(
            &module, QVariant(0.01002), QVariant(4.0), QVariant(0), QVariant(0.5), QVariant(0), QVariant(0));
        QCOMPARE(module.callRecords().size(), 2);
        QCOMPARE(
            module.callRecords().at(1).inputs.at(1), qMakePair(QStringLiteral("EquilibriumTemp"), QStringLiteral("4")));
        QCOMPARE(module.takeCalls(),
            QStringList({ "calculateRp(Mr=14305,Vbar=0.7175)",
                "calculateViscAtT(Viscosity=0.01002,EquilibriumTemp=4,term=0,D2O=0.5,D2O18=0,H2O18=0)" }));
        QVERIFY(module.calls().isEmpty());
    }

    // Answers are written into a form as a script's would be, in the order given; other functions answer nothing.
    void answersWhatTheTestGave()
    {
        TestFakeModule module;
        QWidget form;
        QList<QLineEdit *> fields;
        for (int i = 0; i < 12; ++i) {
            fields << new QLineEdit(&form);
            fields.last()->setObjectName(QString("f%1").arg(i));
        }
        QList<QPair<QString, QVariant>> values;
        for (int i = 0; i < 12; ++i)
            values << qMakePair(QString("f%1").arg(i), QVariant(i));
        module.answerValues("calculateRo", values);
        module.answer("graphShape", { TestFakeModule::point("GraphShape", "x", 0, "3") });

        std::unique_ptr<AppScriptObject> result(module.execOne("calculateRo", {}));
        QVERIFY(AppScriptObject::populateForm(result.get(), &form).isEmpty());
        for (int i = 0; i < 12; ++i)
            QCOMPARE(fields.at(i)->text(), QString::number(i));
        result.reset(module.execOne("graphShape", {}));
        QCOMPARE(AppScriptObject::populateForm(result.get(), &form), QStringList { "GraphShape,x,0,3" });
        result.reset(module.execOne("calculateMr", {}));
        QVERIFY(result && result->children().isEmpty());
    }
};

TEST_MAIN(TstTestFakeModule)
#include "tst_test_fakemodule.moc"
