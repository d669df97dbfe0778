#pragma once

#include <vector>

namespace somnara {

class DreamQuery;

// A control that shows a field of the data source's current row.
class DataLink
{
public:
    virtual ~DataLink() = default;
    // Called when the query opens, closes or moves; may throw (a field that is not there).
    virtual void dataSetChanged() = 0;
};

// Passes the query's changes on to the controls bound to it. Plain calls, not signals: a
// failure in a control must travel back to the handler that opened the query.
class DataSource
{
public:
    void setDataSet(DreamQuery *query);
    DreamQuery *dataSet() const { return m_query; }

    void addLink(DataLink *link);
    void removeLink(DataLink *link);

private:
    void notify();

    DreamQuery *m_query = nullptr;
    std::vector<DataLink *> m_links;
};

} // namespace somnara
