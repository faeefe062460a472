#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QTimer;

namespace fulmaro {

enum class MsgDlgType {
    mtWarning = 0,
    mtError = 1,
    mtInformation = 2,
    mtConfirmation = 3,
    mtCustom = 4
};

// Results of showMsg: a button press, "Hayır", or a close through the window frame.
inline constexpr int kMsgYes = 6;
inline constexpr int kMsgNo = 7;
inline constexpr int kMsgClosed = 2;

// The program's own message dialog: a Turkish title by type, the text, one or two buttons, and
// an optional countdown on the first button.
class MsgForm : public QDialog
{
    Q_OBJECT
public:
    explicit MsgForm(QWidget *parent = nullptr);

    QString aButtonCaption;
    QString messageText;
    MsgDlgType messageType = MsgDlgType::mtInformation;
    int closeSeconds = 0;

    void prepareForm();

    QLabel *msgLabel() const { return m_msgLabel; }
    QPushButton *btnYes() const { return m_btnYes; }
    QPushButton *btnNo() const { return m_btnNo; }
    QTimer *closeTimer() const { return m_closeTimer; }

public Q_SLOTS:
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    // A long text wraps; the dialog grows, up to a sensible width and then in height, to show
    // it whole.
    void fitToText();
    void closeTimerTimer();
    void updateCountdownCaption();

    QWidget *m_panel;
    QLabel *m_msgLabel;
    QPushButton *m_btnYes;
    QPushButton *m_btnNo;
    QTimer *m_closeTimer;
};

// Shows a message modally and returns 6, 7 or 2.
int showMsg(MsgDlgType type, const QString &text, int seconds = 0);

// Tests and the command-line front end can answer every message without a window: the hook gets
// the type and text and returns the result in place of the dialog.
using MsgHook = std::function<int(MsgDlgType, const QString &)>;
void setMsgHook(MsgHook hook);

} // namespace fulmaro
