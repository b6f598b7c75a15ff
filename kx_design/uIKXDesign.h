#pragma once
// The interface of the designable input controls: each knows the request parameter it fills.
#include <QObject>
#include <QString>
#include <QStringList>

class IKXDesign {
public:
    virtual ~IKXDesign() = default;
    virtual void KXInit() = 0;          // prepares the control when its panel is shown
    virtual void KXClear() = 0;         // empties the input
    virtual QString KXGetName() const = 0;
    virtual QString KXGetValue() const = 0; // empty: no condition
    virtual void KXSetValue(const QString& value) = 0;
};
#define IKXDesign_iid "VarnoqERP.IKXDesign"
Q_DECLARE_INTERFACE(IKXDesign, IKXDesign_iid)

// Splits at every occurrence of the separator; empty pieces stay, except an empty last one.
QStringList StringToArrayStr(const QString& text, const QString& separator);

// The items of a list control: lines key=caption in display order, from a lookup module and
// from fixed lines.
class TKXItemList {
public:
    // Runs `module` without a window when both it and `keyFields` ("key,caption") are set,
    // then appends the fixed lines unchanged.
    void Load(const QString& module, const QString& keyFields, const QStringList& keyValues);
    const QStringList& Lines() const { return m_lines; }
    QString Key(int i) const;
    QString Caption(int i) const;
    QStringList Captions() const;
    int IndexOfKey(const QString& key) const;
    int Count() const { return int(m_lines.size()); }

private:
    QStringList m_lines;
};
