#pragma once
// The splash at start-up, and the about window when a menu entry opens it: a borderless
// picture with the version and build, replaced by the loading line while packages load at
// start-up; a click closes it.
#include "ufrmBase.h"

class QLabel;

class TFrmAbout : public TfrmBase {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TFrmAbout(QWidget* owner = nullptr);
    void SetLoading(const QString& libname);

    // "版本 1.2（构建 2026-12-10 10:45）".
    static QString VersionText();

    QLabel* LabelBpl;

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
};
