#include "db_memo.h"

#include "dream_query.h"

#include <stdexcept>

namespace somnara {

DBMemo::DBMemo(QWidget *parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setFocusPolicy(Qt::StrongFocus);
    setTabChangesFocus(true);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setUndoRedoEnabled(false);
}

DBMemo::~DBMemo()
{
    if (m_source)
        m_source->removeLink(this);
}

void DBMemo::setDataSource(DataSource *source)
{
    if (m_source)
        m_source->removeLink(this);
    m_source = source;
    if (m_source)
        m_source->addLink(this);
}

QString DBMemo::displayText(const std::string &value)
{
    QString text = QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

void DBMemo::dataSetChanged()
{
    const DreamQuery *query = m_source ? m_source->dataSet() : nullptr;
    if (!query || !query->active()) {
        clear();
        return;
    }
    const int field = query->fieldIndex(m_field.toStdString());
    if (field < 0) {
        clear();
        throw std::runtime_error(QStringLiteral("%1: Field '%2' not found")
                                     .arg(objectName(), m_field)
                                     .toStdString());
    }
    const auto value = query->value(field);
    if (value)
        setPlainText(displayText(*value));
    else
        clear();
}

} // namespace somnara
