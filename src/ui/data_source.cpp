#include "data_source.h"

#include "dream_query.h"

#include <algorithm>

namespace somnara {

void DataSource::setDataSet(DreamQuery *query)
{
    if (m_query)
        m_query->setStateListener(nullptr);
    m_query = query;
    if (m_query)
        m_query->setStateListener([this] { notify(); });
    notify();
}

void DataSource::addLink(DataLink *link)
{
    m_links.push_back(link);
}

void DataSource::removeLink(DataLink *link)
{
    m_links.erase(std::remove(m_links.begin(), m_links.end(), link), m_links.end());
}

void DataSource::notify()
{
    for (auto *link : m_links)
        link->dataSetChanged();
}

} // namespace somnara
