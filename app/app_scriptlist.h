#ifndef APP_SCRIPTLIST_H
#define APP_SCRIPTLIST_H

#include "app/app_scriptobject.h"

#include <QList>
#include <QString>
#include <QVariant>

// The inputs or results of script calls, owned: every top-level node it holds
// is deleted with it. Script calls take and give plain lists; this is where the
// nodes live meanwhile, and the one way the program frees them.
class AppScriptList
{
public:
    AppScriptList() = default;
    AppScriptList(AppScriptList &&other) noexcept : m_nodes(other.m_nodes) { other.m_nodes.clear(); }
    AppScriptList &operator=(AppScriptList &&other) noexcept;
    ~AppScriptList();

    // Takes over the node (a null node is not stored) and returns it.
    AppScriptObject *add(AppScriptObject *node);
    // A plain named value, as a form sends its fields.
    AppScriptObject *add(const QString &name, const QVariant &value);
    // Takes over every node of the other list.
    void append(AppScriptList &&other);
    void clear();

    const QList<AppScriptObject *> &nodes() const { return m_nodes; }
    operator const QList<AppScriptObject *> &() const { return m_nodes; }
    int size() const { return m_nodes.size(); }
    bool isEmpty() const { return m_nodes.isEmpty(); }
    // The first node, or null when there is none.
    AppScriptObject *first() const { return m_nodes.value(0); }
    QList<AppScriptObject *>::const_iterator begin() const { return m_nodes.cbegin(); }
    QList<AppScriptObject *>::const_iterator end() const { return m_nodes.cend(); }
    // From the first node on, the nodes after the first count ones.
    QList<AppScriptObject *> mid(int count) const { return m_nodes.mid(count); }

private:
    Q_DISABLE_COPY(AppScriptList)
    QList<AppScriptObject *> m_nodes;
};

#endif
