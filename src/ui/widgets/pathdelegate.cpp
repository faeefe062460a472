#include "ui/widgets/pathdelegate.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPainter>

namespace fulmaro {

namespace {
QFont folderFont(const QFont &base)
{
    QFont font = base;
    if (font.pointSizeF() > 0)
        font.setPointSizeF(std::max(6.0, font.pointSizeF() * 0.85));
    else if (font.pixelSize() > 0)
        font.setPixelSize(std::max(8, font.pixelSize() * 85 / 100));
    return font;
}
} // namespace

PathDelegate::Parts PathDelegate::parts(const QString &path, const QString &output, int folderWidth,
                                        const QFontMetrics &folderMetrics)
{
    const QString native = QDir::fromNativeSeparators(path);
    const qsizetype slash = native.lastIndexOf(QLatin1Char('/'));
    Parts parts;
    parts.name = slash < 0 ? path : path.mid(slash + 1);
    if (!output.isEmpty())
        parts.name += QStringLiteral(" → ") + QFileInfo(output).fileName();
    const QString folder = slash <= 0 ? QString() : path.left(slash);
    parts.folder = folderMetrics.elidedText(folder, Qt::ElideMiddle, std::max(0, folderWidth));
    return parts;
}

void PathDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                         const QModelIndex &index) const
{
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    const QString path = cell.text;
    if (path.isEmpty()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // The cell as usual (background, selection, check box, picture) without its text.
    cell.text.clear();
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);

    QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &cell, widget);
    area.adjust(2, 0, -2, 0);
    const QFont small = folderFont(cell.font);
    const QFontMetrics nameMetrics(cell.font);
    const QFontMetrics smallMetrics(small);
    const bool twoLines = area.height() >= nameMetrics.height() + smallMetrics.height();
    const QPalette::ColorGroup group = !(cell.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (cell.state & QStyle::State_Active) ? QPalette::Normal
                                                                             : QPalette::Inactive;
    const bool selected = cell.state & QStyle::State_Selected;
    const QColor text =
        cell.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
    QColor grey = text;
    grey.setAlphaF(0.62f);

    const QString output = index.data(OutputRole).toString();
    painter->save();
    painter->setClipRect(area);
    if (twoLines) {
        const int top =
            area.top() + (area.height() - nameMetrics.height() - smallMetrics.height()) / 2;
        const Parts p = parts(path, output, area.width(), smallMetrics);
        painter->setFont(cell.font);
        painter->setPen(text);
        painter->drawText(QRect(area.left(), top, area.width(), nameMetrics.height()),
                          Qt::AlignLeft | Qt::AlignVCenter,
                          nameMetrics.elidedText(p.name, Qt::ElideMiddle, area.width()));
        painter->setFont(small);
        painter->setPen(grey);
        painter->drawText(
            QRect(area.left(), top + nameMetrics.height(), area.width(), smallMetrics.height()),
            Qt::AlignLeft | Qt::AlignVCenter, p.folder);
    } else {
        const Parts whole = parts(path, output, 0, smallMetrics);
        const QString name = nameMetrics.elidedText(whole.name, Qt::ElideMiddle, area.width());
        const int nameWidth = nameMetrics.horizontalAdvance(name);
        const int gap = nameMetrics.horizontalAdvance(QLatin1Char(' ')) * 2;
        const Parts p = parts(path, output, area.width() - nameWidth - gap, smallMetrics);
        painter->setFont(cell.font);
        painter->setPen(text);
        painter->drawText(area, Qt::AlignLeft | Qt::AlignVCenter, name);
        painter->setFont(small);
        painter->setPen(grey);
        painter->drawText(area.adjusted(nameWidth + gap, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                          p.folder);
    }
    painter->restore();
}

} // namespace fulmaro
