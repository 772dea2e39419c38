#pragma once
#include <QDialog>

class QLineEdit;
class QPushButton;

// Asks for the name under which the current design is saved. Enter confirms,
// Escape cancels; the name is at most 255 characters.
class TFQueryName : public QDialog {
    Q_OBJECT
public:
    explicit TFQueryName(QWidget* owner = nullptr);

    QLineEdit* EQueryName = nullptr;
    QPushButton* BitBtn1 = nullptr;   // OK
    QPushButton* BitBtn2 = nullptr;   // Cancel
};
