#ifndef TEST_FAKEMODULE_H
#define TEST_FAKEMODULE_H

#include "app/app_plugin.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

// A calculation module for tests where only the calls matter: it records every
// call (function, input names and values) and answers what the test gave it
// for that function, or nothing. Where figures matter, tests use the shipped module.
class TestFakeModule : public AppPlugin
{
    Q_OBJECT

public:
    struct Call
    {
        QString function;
        QList<QPair<QString, QString>> inputs; // name and value text, in the order sent
        // Per input, in the same order: the child nodes of an ARRAY or OBJECT
        // input by key, each as its properties in text; empty for a plain input.
        QList<QMap<QString, QMap<QString, QString>>> children;
        // "function(NAME=VALUE,NAME=VALUE)".
        QString text() const;
    };

    // Named "MainScreen", version "20120412", valid and loaded.
    explicit TestFakeModule(QObject *parent = nullptr);

    // One result node: its properties (NAME, VALUE, WARNING, GRAPH, ...), keys as given.
    static QVariantMap value(const QString &name, const QVariant &value);
    static QVariantMap warning(const QString &text);
    static QVariantMap point(const QString &graph, const QString &axis, int index, const QVariant &value);

    // Every later call of the function answers with these nodes, in order.
    void answer(const QString &function, const QList<QVariantMap> &nodes);
    // The same, from "name=value" pairs.
    void answerValues(const QString &function, const QList<QPair<QString, QVariant>> &values);
    void forgetAnswers();

    QList<Call> callRecords() const { return m_calls; }
    // The calls so far as text, oldest first; take empties the record.
    QStringList calls() const;
    QStringList takeCalls();
    void clearCalls() { m_calls.clear(); }

public slots:
    bool load(QString const &path) override;
    AppScriptObject *execOne(QString const &function, QList<AppScriptObject *> const &inputs) override;

private:
    QList<Call> m_calls;
    QHash<QString, QList<QVariantMap>> m_answers;
};

#endif
