#pragma once
// The search dialog of every list: its condition controls come from the list's designed
// panel ("searchfile"); it hands back name=value conditions and keeps named condition sets
// per dialog title in "SearchDef.xml" beside the program.
#include <QBuffer>
#include <QDialog>
#include <QList>
#include <QStringList>

class IKXDesign;
class QListWidget;
class QListWidgetItem;
class TPanelStage;

class TFrmSearch : public QDialog {
    Q_OBJECT
public:
    explicit TFrmSearch(QWidget* parent = nullptr);

    // Builds the condition controls from a "searchfile" text. A text that cannot be read is
    // shown and gives false; the dialog should then not be shown.
    bool InitSearch(const QString& searchFile);
    // The dialog's title: its caption and the key of its schemes.
    void SetTitle(const QString& title);
    QString Title() const { return m_title; }

    // name=value lines of every control with a name and a value, both trimmed.
    QStringList Conditions() const;
    // The same lines, CR LF ended, after "确定(&O)"; positioned at 0.
    QBuffer* ConditionStream() { return &m_condStream; }

    // Schemes in "SearchDef.xml". Store and delete show a message and give false when the
    // file cannot be read or written; the file is then left as it was.
    void LoadScheme(const QString& name);
    bool StoreScheme(const QString& name);
    bool DeleteScheme(const QString& name);

    // The buttons.
    void btnNewClick();    // "新建"
    void btnEditClick();   // "编辑"
    void btnSaveClick();   // "保存"
    void btnDeleteClick(); // "删除"
    void btnOkClick();     // "确定(&O)"
    void btnCancelClick(); // "取消(&C)"

    QListWidget* SchemeList() const { return m_schemes; }
    TPanelStage* Stage() const { return m_stage; }
    QList<IKXDesign*> DesignControls() const;

    static QString DefaultScheme() { return QStringLiteral("默认查询方案"); }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void fillSchemes();
    QListWidgetItem* addEntry(const QString& name);
    // The entry the operator selected; none after a delete, even though the list moves its
    // current row to a neighbour.
    QListWidgetItem* chosenEntry() const;
    // The scheme name a second dialog asks for; empty when cancelled.
    QString askName();

    TPanelStage* m_stage;
    QListWidget* m_schemes;
    QString m_title;
    QByteArray m_condBytes;
    QBuffer m_condStream;
    bool m_shown = false;
};

// "SearchDef.xml" in the program's folder.
QString KxSearchDefFile();
