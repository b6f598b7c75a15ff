#pragma once
// "快递单打印内容设置": one check box per printable field, in groups. A ticked box puts the
// field's label on the designer's canvas; unticking takes it off.
#include "ufrmBase.h"

#include <QList>

class QCheckBox;
class QGroupBox;
class TKX_FormDesigner;

class TFrmPrintInfo : public TfrmBase {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TFrmPrintInfo(QWidget* owner = nullptr);

    // Ticks the boxes whose field has a label on the canvas; later ticks change the canvas.
    void SetDesigner(TKX_FormDesigner* designer);
    QCheckBox* Box(const QString& key) const;
    QList<QCheckBox*> Boxes() const { return m_boxes; }

    void BoxClick(QCheckBox* box);

private:
    TKX_FormDesigner* m_designer = nullptr;
    QList<QCheckBox*> m_boxes;
    bool m_filling = false;
};
