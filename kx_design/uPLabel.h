#pragma once
#include <QLabel>

// A caption on a panel.
class TPLabel : public QLabel {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ text WRITE setText)
public:
    explicit TPLabel(QWidget* parent = nullptr) : QLabel(parent) {}
};
