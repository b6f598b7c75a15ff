#pragma once
// "快递模板管理": the waybill templates in use, each a scanned form with field labels placed
// on it. The records are kept at the service and so are the files: the layout (".des") and
// the printable report (".ref") that waybills are printed from.
#include "ufrmBase.h"

#include "uExpressLayout.h"

#include <QList>

class QLabel;
class QListWidget;
class QPushButton;
class QScrollArea;
class TKX_FormDesigner;
class TKX_InspectorList;
class TPClientDataSet;

// One template of the list with its layout while the designer is open.
struct TExpress {
    QString id, name, file, logisticsCode;
    QByteArray stream;     // the layout file's bytes (empty: none yet)
    bool damaged = false;  // its layout file could not be read: never written over
};

class TFrmExpress : public TfrmBase {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TFrmExpress(QWidget* owner = nullptr);

    TKX_FormDesigner* Designer() const { return m_designer; }
    QListWidget* List() const { return m_list; }
    QLabel* CaptionBar() const { return m_caption; }
    QPushButton* Button(const QString& text) const;
    const QList<TExpress>& Entries() const { return m_entries; }
    TExpress* Current();

    // Loads the templates in use and selects the first one.
    void Open();
    void LoadList();
    void SelectTemplate(const QString& id);
    // A click on another list item keeps the left template's layout in memory first.
    void ListClick(int row);

    void btnNewClick();
    void btnPropertiesClick();
    void btnDeleteClick();
    void btnInUseClick();
    void btnPrintInfoClick();
    void btnSaveClick();
    void btnDesignClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void editProperties(const QString& id);
    void keepCanvas();
    void clearCanvas();
    bool refuseDamaged(const TExpress& e);
    QString method(const char* param, const char* fallback) const;

    QList<TExpress> m_entries;
    QString m_current;
    bool m_opened = false;
    QListWidget* m_list;
    QLabel* m_caption;
    QScrollArea* m_scroll;
    TKX_FormDesigner* m_designer;
    TKX_InspectorList* m_inspector;
    QList<QPushButton*> m_buttons;
};
