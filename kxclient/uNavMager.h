#pragma once
// The navigation model built from the login answer: ribbon tabs (TNav) holding groups (TBar)
// holding large buttons (TBut), each button ending in a module id. The widgets built for a
// node are remembered beside it; the main window owns them.
#include <QList>
#include <QPointer>
#include <QString>
#include <memory>
#include <vector>

class QWidget;

class TBut {
public:
    TBut(int id, const QString& name, int modId, const QString& image)
        : Id(id), Name(name), ModId(modId), Image(image) {}
    int Id;
    QString Name;
    int ModId;
    QString Image;
    QPointer<QWidget> Button; // the large button built for it
};

class TBar {
public:
    TBar(int id, const QString& name) : Id(id), Name(name) {}
    TBut* AddBut(int id, const QString& name, int modId, const QString& image);
    int ButCount() const { return int(m_buts.size()); }
    TBut* But(int index) const { return m_buts.at(size_t(index)).get(); }
    bool HasButton() const { return !m_buts.empty(); }

    int Id;
    QString Name;
    QPointer<QWidget> ToolBar; // the ribbon group built for it

private:
    std::vector<std::unique_ptr<TBut>> m_buts;
};

class TNav {
public:
    TNav(int id, const QString& name) : Id(id), Name(name) {}
    TBar* AddBar(int id, const QString& name);
    int BarCount() const { return int(m_bars.size()); }
    TBar* Bar(int index) const { return m_bars.at(size_t(index)).get(); }
    TBar* FindBar(int id) const;
    bool HasButton() const; // any of its bars has a button

    int Id;
    QString Name;
    int RibbonTab = -1; // index of the ribbon tab built for it

private:
    std::vector<std::unique_ptr<TBar>> m_bars;
};

class TNavMager {
public:
    TNav* Add(int id, const QString& name);
    int Count() const { return int(m_navs.size()); }
    TNav* Item(int index) const { return m_navs.at(size_t(index)).get(); }
    void Clear() { m_navs.clear(); }
    TNav* FindNav(int id) const;
    TBar* FindBar(int id) const; // in every group, first match

private:
    std::vector<std::unique_ptr<TNav>> m_navs;
};

// One menu record as the tree is built from it.
struct TMenuEntry {
    int ParentId = 0;
    int MenuId = 0;
    QString Title;
    int ModId = 0;
};

// Orders the entries so that each entry's children follow it directly, keeping the
// children's relative order. A child listed before its parent is left where it is.
void ArrangeMenu(QList<TMenuEntry>& entries);
