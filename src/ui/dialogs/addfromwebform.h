#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace fulmaro {

// The web address window: one address per line. Nothing reads what is typed; the list is not
// changed by it.
class AddFromWebForm : public QDialog
{
    Q_OBJECT
public:
    explicit AddFromWebForm(QWidget *parent = nullptr);

    QPlainTextEdit *addressEdit;
    QPushButton *addButton;
};

} // namespace fulmaro
