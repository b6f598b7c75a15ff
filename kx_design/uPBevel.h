#pragma once
#include <QFrame>

// A sunken box or line on a panel. Shape: "box", "frame", "topline", "bottomline",
// "leftline", "rightline".
class TPBevel : public QFrame {
    Q_OBJECT
    Q_PROPERTY(QString Shape READ Shape WRITE SetShape)
public:
    explicit TPBevel(QWidget* parent = nullptr);

    QString Shape() const { return m_shape; }
    void SetShape(const QString& shape);

private:
    QString m_shape;
};
