#pragma once

#include "data_source.h"

#include <QPlainTextEdit>

namespace somnara {

// A read-only memo that shows one field of the data source's current row.
class DBMemo : public QPlainTextEdit, public DataLink
{
    Q_OBJECT

public:
    explicit DBMemo(QWidget *parent = nullptr);
    ~DBMemo() override;

    void setDataSource(DataSource *source);
    void setDataField(const QString &field) { m_field = field; }
    QString dataField() const { return m_field; }

    void dataSetChanged() override;

    // The field's text as the memo shows it: CR LF, a bare CR and a bare LF all break lines.
    static QString displayText(const std::string &value);

private:
    DataSource *m_source = nullptr;
    QString m_field;
};

} // namespace somnara
