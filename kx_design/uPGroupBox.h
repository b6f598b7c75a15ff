#pragma once
#include <QGroupBox>

// A titled frame that may hold other controls.
class TPGroupBox : public QGroupBox {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ title WRITE setTitle)
public:
    explicit TPGroupBox(QWidget* parent = nullptr) : QGroupBox(parent) {}
};
