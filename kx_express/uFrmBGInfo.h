#pragma once
// "添加快递模板": a waybill template's name, background picture, paper size and offsets in
// millimetres and carrier. OK saves the template record at the service.
#include "ufrmBase.h"

#include "uExpressLayout.h"

class QComboBox;
class QDoubleSpinBox;
class QLineEdit;
class TPClientDataSet;

class TFrmBGInfo : public TfrmBase {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TFrmBGInfo(QWidget* owner = nullptr);

    // Carriers ("Logistics.Search", "nick" = "nick"); done once the parameters are given.
    void InitModule(const QString& xml) override;
    // The template record (empty id: a new template) and the values shown for it.
    void ShowTemplate(const QString& expressId, const TExpressLayout& page);

    QLineEdit* NameEdit() const { return m_name; }
    QLineEdit* PictureEdit() const { return m_picture; }
    QDoubleSpinBox* Box(int i) const { return m_mm[i]; } // width, height, left, right, top, bottom
    QComboBox* CarrierBox() const { return m_carrier; }
    TPClientDataSet* Record() const { return m_record; }

    // The record as the service answered it.
    QString ExpressId() const { return m_id; }
    QString ExpressFile() const { return m_file; }
    // The dialog's page values (background path as typed).
    TExpressLayout PageValues() const;

    void btnOkClick();
    void btnPictureClick();

private:
    QLineEdit* m_name;
    QLineEdit* m_picture;
    QDoubleSpinBox* m_mm[6];
    QComboBox* m_carrier;
    TPClientDataSet* m_carriers;
    TPClientDataSet* m_record;
    QString m_id, m_file;
};
