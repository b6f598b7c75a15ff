#pragma once
// The master-account dialog shown when the installation has no nick yet: the typed nick is
// checked by the service and saved to nick.dll.
#include <QDialog>

class QLineEdit;
class QPushButton;

class TFrmNick : public QDialog {
    Q_OBJECT
public:
    explicit TFrmNick(const QString& programDir, QWidget* parent = nullptr);

    QLineEdit* NickEdit;
    QPushButton* BitBtn1;

private:
    void BitBtn1Click();
    QString m_dir;
};
