#include "app/app_scriptlist.h"

AppScriptList &AppScriptList::operator=(AppScriptList &&other) noexcept
{
    if (this != &other) {
        clear();
        m_nodes = other.m_nodes;
        other.m_nodes.clear();
    }
    return *this;
}

AppScriptList::~AppScriptList()
{
    clear();
}

AppScriptObject *AppScriptList::add(AppScriptObject *node)
{
    if (node)
        m_nodes << node;
    return node;
}

AppScriptObject *AppScriptList::add(const QString &name, const QVariant &value)
{
    return add(new AppScriptObject(name, value, AppScriptObject::Normal));
}

void AppScriptList::append(AppScriptList &&other)
{
    m_nodes << other.m_nodes;
    other.m_nodes.clear();
}

void AppScriptList::clear()
{
    qDeleteAll(m_nodes);
    m_nodes.clear();
}
