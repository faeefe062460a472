#include "ui/dialogs/addfromwebform.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace fulmaro {

AddFromWebForm::AddFromWebForm(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("AddFromWebForm"));
    setWindowTitle(QStringLiteral("Internetten Video Ekle"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *topBand = new QLabel(
        QStringLiteral(" Her satıra 1 link gelecek şekilde giriş yapabilirsiniz."), this);
    topBand->setObjectName(QStringLiteral("Panel1"));
    topBand->setFixedHeight(41);
    topBand->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    layout->addWidget(topBand);

    auto *middle = new QWidget(this);
    auto *middleLayout = new QVBoxLayout(middle);
    middleLayout->setContentsMargins(5, 5, 5, 5);
    addressEdit = new QPlainTextEdit(middle);
    addressEdit->setObjectName(QStringLiteral("Memo1"));
    addressEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
    addressEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    middleLayout->addWidget(addressEdit);
    layout->addWidget(middle, 1);

    auto *bottomBand = new QWidget(this);
    bottomBand->setObjectName(QStringLiteral("Panel2"));
    bottomBand->setFixedHeight(41);
    auto *bottomLayout = new QHBoxLayout(bottomBand);
    bottomLayout->setContentsMargins(5, 0, 5, 0);
    addButton = new QPushButton(QStringLiteral("Button1"), bottomBand);
    addButton->setObjectName(QStringLiteral("Button1"));
    bottomLayout->addWidget(addButton);
    bottomLayout->addStretch(1);
    layout->addWidget(bottomBand);

    resize(683, 369);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

} // namespace fulmaro
