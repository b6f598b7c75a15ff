#include "uIKXDesign.h"

#include "uCallModule.h"
#include "uPClientDataSet.h"
#include "ufrmBase.h"

#include <memory>

QStringList StringToArrayStr(const QString& text, const QString& separator)
{
    if (text.isEmpty())
        return {};
    QStringList parts = separator.isEmpty() ? QStringList{text} : text.split(separator);
    if (!parts.isEmpty() && parts.last().isEmpty())
        parts.removeLast();
    return parts;
}

void TKXItemList::Load(const QString& module, const QString& keyFields, const QStringList& keyValues)
{
    m_lines.clear();
    if (!module.trimmed().isEmpty() && !keyFields.trimmed().isEmpty()) {
        const QStringList names = StringToArrayStr(keyFields, QStringLiteral(","));
        const QString keyName = names.value(0).trimmed();
        const QString captionName = names.value(1).trimmed();
        std::unique_ptr<TmedBase> med(CallMethod(nullptr, module.trimmed()));
        if (med && med->ResultStream()->size() > 0) {
            TPClientDataSet rows;
            med->ResultStream()->seek(0);
            if (rows.LoadFromStream(med->ResultStream())) {
                TField* key = rows.FindField(keyName);
                TField* caption = rows.FindField(captionName);
                for (; key && caption && !rows.Eof(); rows.Next())
                    m_lines << key->AsString() + u'=' + caption->AsString();
            }
        }
    }
    m_lines += keyValues;
}

QString TKXItemList::Key(int i) const
{
    const QString& line = m_lines.at(i);
    const qsizetype eq = line.indexOf(u'=');
    return eq < 0 ? line : line.left(eq);
}

QString TKXItemList::Caption(int i) const
{
    const QString& line = m_lines.at(i);
    const qsizetype eq = line.indexOf(u'=');
    return eq < 0 ? QString() : line.mid(eq + 1);
}

QStringList TKXItemList::Captions() const
{
    QStringList out;
    for (int i = 0; i < Count(); ++i)
        out << Caption(i);
    return out;
}

int TKXItemList::IndexOfKey(const QString& key) const
{
    for (int i = 0; i < Count(); ++i)
        if (Key(i) == key)
            return i;
    return -1;
}
