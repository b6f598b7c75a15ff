#pragma once
#include <QByteArray>
#include <QLabel>

// A picture on a panel; Picture holds the image file bytes (PNG, JPEG, ...).
class TPImage : public QLabel {
    Q_OBJECT
    Q_PROPERTY(QByteArray Picture READ Picture WRITE SetPicture)
    Q_PROPERTY(bool Stretch READ hasScaledContents WRITE setScaledContents)
public:
    explicit TPImage(QWidget* parent = nullptr) : QLabel(parent) {}

    QByteArray Picture() const { return m_picture; }
    void SetPicture(const QByteArray& bytes);

private:
    QByteArray m_picture;
};
