#pragma once
// Operators' rights: the operators in use on the left, and for the focused one a row per
// module with a tick for the module and its six rights. A save replaces that operator's whole
// set of rights at the service.
#include "ufrmMasterList.h"

class TGridView;

class TfrmPower : public TfrmMasterList {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmPower(QWidget* owner = nullptr);

    TGridView* RightsGrid() const { return m_rightsGrid; }
    TPClientDataSet* RightsData() const { return m_rights; }
    TPClientDataSet* StoredRights() const { return m_stored; }
    // Whether the grid holds the focused operator's rights as the service gave them.
    bool RightsLoaded() const { return m_loaded; }

    // Loads the focused operator's rights, when not loaded for it already (or always).
    void FollowOperator(bool force = false);

    void dxBL_NewClick() override {}
    void dxBL_EditClick() override {}
    void dxBL_DeleteClick() override {}
    void dxBL_SaveClick() override;

protected:
    QList<TKxRight> RightsTable() const override;
    void AddParamsAfterCallParams(TRequest* request) override;
    void AfterSearch(int page) override;
    void FormOpen() override;

private:
    QString focusedOperator() const;
    bool loadRights(const QString& operid);
    void clearRights();
    void cellTicked(int recIndex, const QString& field);

    TGridView* m_rightsGrid;
    TPClientDataSet* m_rights; // what the rights grid shows
    TPClientDataSet* m_stored; // the operator's stored rights, as saved
    QString m_loadedFor;
    bool m_loaded = false;
    bool m_followQueued = false;
};
