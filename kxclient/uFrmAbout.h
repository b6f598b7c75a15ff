#pragma once
// The splash at start-up, and the about window when a menu entry opens it: a borderless
// picture with a loading line; a click closes it.
#include "ufrmBase.h"

class QLabel;

class TFrmAbout : public TfrmBase {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TFrmAbout(QWidget* owner = nullptr);
    void SetLoading(const QString& libname);

    QLabel* LabelBpl;

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
};
