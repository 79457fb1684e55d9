#include "app/app_scriptmessages.h"

#include <QMessageBox>

namespace {

AppScriptMessages *s_current = nullptr;
QStringList s_lastShown; // the texts the last pass showed

} // namespace

AppScriptMessages::AppScriptMessages(QWidget *parent, Kind kind)
    : m_parent(parent), m_outer(s_current), m_kept(kind == KeptPass), m_owner(s_current == nullptr || m_kept),
      m_continuing(kind == ContinuingPass), m_heldBack(kind == HeldBackPass)
{
    if (m_owner)
        s_current = this;
}

AppScriptMessages::~AppScriptMessages()
{
    if (!m_owner)
        return;
    if (m_kept) {
        s_current = m_outer;
        for (const QString &text : qAsConst(m_errors)) {
            if (m_outer)
                m_outer->addError(text);
        }
        if (!m_outer && !m_errors.isEmpty())
            QMessageBox::critical(
                m_parent, QStringLiteral("Vornakel Error"), m_errors.join(QLatin1Char('\n')), QMessageBox::Ok);
        return;
    }
    s_current = nullptr;
    if (m_heldBack)
        return;
    const QStringList before = m_continuing ? s_lastShown : QStringList();
    QStringList warnings, errors;
    for (const QString &text : qAsConst(m_warnings))
        if (!before.contains(text))
            warnings << text;
    for (const QString &text : qAsConst(m_errors))
        if (!before.contains(text))
            errors << text;
    s_lastShown = before + warnings + errors;
    // Shown after the pass has let go, so that a box's own event loop may run another pass.
    if (!warnings.isEmpty())
        QMessageBox::warning(
            m_parent, QStringLiteral("Vornakel Warning"), warnings.join(QLatin1Char('\n')), QMessageBox::Ok);
    if (!errors.isEmpty())
        QMessageBox::critical(
            m_parent, QStringLiteral("Vornakel Error"), errors.join(QLatin1Char('\n')), QMessageBox::Ok);
}

AppScriptMessages *AppScriptMessages::current()
{
    return s_current;
}

void AppScriptMessages::addWarning(const QString &text)
{
    if (!m_warnings.contains(text))
        m_warnings << text;
}

void AppScriptMessages::addError(const QString &text)
{
    if (!m_errors.contains(text))
        m_errors << text;
}
