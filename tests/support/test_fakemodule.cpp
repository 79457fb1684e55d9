#include "test_fakemodule.h"

#include "app/app_scriptobject.h"

QString TestFakeModule::Call::text() const
{
    QStringList parts;
    for (const auto &input : inputs)
        parts << input.first + QLatin1Char('=') + input.second;
    return function + QLatin1Char('(') + parts.join(QLatin1Char(',')) + QLatin1Char(')');
}

TestFakeModule::TestFakeModule(QObject *parent) : AppPlugin(QString(), parent)
{
    setModuleName(QStringLiteral("MainScreen"));
    setModuleVersion(QStringLiteral("20120412"));
    setModuleDate(QStringLiteral("20120412"));
    setModuleValidity(true);
}

QVariantMap TestFakeModule::value(const QString &name, const QVariant &value)
{
    return { { QStringLiteral("NAME"), name }, { QStringLiteral("VALUE"), value } };
}

QVariantMap TestFakeModule::warning(const QString &text)
{
    return { { QStringLiteral("WARNING"), text } };
}

QVariantMap TestFakeModule::point(const QString &graph, const QString &axis, int index, const QVariant &value)
{
    return { { QStringLiteral("GRAPH"), graph }, { QStringLiteral("AXIS"), axis },
        { QStringLiteral("INDEX"), QString::number(index) }, { QStringLiteral("DATA"), value },
        { QStringLiteral("VALUE"), value } };
}

void TestFakeModule::answer(const QString &function, const QList<QVariantMap> &nodes)
{
    m_answers.insert(function, nodes);
}

void TestFakeModule::answerValues(const QString &function, const QList<QPair<QString, QVariant>> &values)
{
    QList<QVariantMap> nodes;
    for (const auto &entry : values)
        nodes << value(entry.first, entry.second);
    answer(function, nodes);
}

void TestFakeModule::forgetAnswers()
{
    m_answers.clear();
}

QStringList TestFakeModule::calls() const
{
    QStringList out;
    for (const Call &call : m_calls)
        out << call.text();
    return out;
}

QStringList TestFakeModule::takeCalls()
{
    const QStringList out = calls();
    m_calls.clear();
    return out;
}

bool TestFakeModule::load(const QString &path)
{
    setModuleFilePath(path);
    return true;
}

// Shaped as a script's answer converts: an object whose members are the result nodes.
AppScriptObject *TestFakeModule::execOne(const QString &function, const QList<AppScriptObject *> &inputs)
{
    Call call;
    call.function = function;
    for (const AppScriptObject *input : inputs) {
        if (!input)
            continue;
        call.inputs << qMakePair(AppScriptObject::textOf(input->property(QStringLiteral("NAME"))),
            AppScriptObject::textOf(input->property(QStringLiteral("VALUE"))));
        QMap<QString, QMap<QString, QString>> children;
        for (auto child = input->children().cbegin(); child != input->children().cend(); ++child) {
            QMap<QString, QString> properties;
            for (auto p = child.value()->properties().cbegin(); p != child.value()->properties().cend(); ++p)
                properties.insert(p.key(), AppScriptObject::textOf(p.value()));
            children.insert(child.key(), properties);
        }
        call.children << children;
    }
    m_calls << call;

    auto *result = new AppScriptObject(AppScriptObject::Object);
    const QList<QVariantMap> nodes = m_answers.value(function);
    for (int i = 0; i < nodes.size(); ++i) {
        auto *node = new AppScriptObject(AppScriptObject::Object);
        for (auto it = nodes.at(i).cbegin(); it != nodes.at(i).cend(); ++it)
            node->setProperty(it.key().toUtf8().constData(), it.value());
        // Keys sort as text: padded, they keep the order given.
        result->setProperty(QString::asprintf("K%05d", i).toLatin1().constData(), node);
    }
    return result;
}
