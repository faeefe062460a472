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

    QPlainTextEdit *memo1;
    QPushButton *button1;
};

} // namespace fulmaro
