#pragma once
// Page set-up of a template: paper (a known size or any other), margins, orientation and
// a background picture kept in the template.
#include "uRMTemplate.h"

#include <QDialog>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QRadioButton;

// Asks for a picture file and returns it as PNG bytes; false when cancelled or unreadable
// (the operator has been told).
bool KxPickPicturePng(QWidget* parent, const QString& caption, QByteArray& png);

class TRMPageSetupForm : public QDialog {
    Q_OBJECT
public:
    explicit TRMPageSetupForm(const TRMPageSetup& page, QWidget* parent = nullptr);
    TRMPageSetup Page() const;

private:
    void paperChosen(int index);
    void chooseBackground();
    void showBackground();

    TRMPageSetup m_page;
    QComboBox* m_paper;
    QDoubleSpinBox *m_width, *m_height, *m_left, *m_top, *m_right, *m_bottom;
    QRadioButton *m_portrait, *m_landscape;
    QLabel* m_background;
};
