#pragma once

#include "core/queue/renderjobs.h"
#include "core/queue/renderqueue.h"

#include <QDialog>
#include <QStyledItemDelegate>

#include <functional>

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace fulmaro {

struct InputProblem;

// Draws the "İşlem" column as a progress bar carrying its text.
class ProgressDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    // The bar's value (0..100 drawn, the text may say more); no value draws no bar.
    static constexpr int ValueRole = Qt::UserRole + 1;
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
};

// The render queue window: one row per job, "Başlat" runs them once, "Durdur" stops the run and
// then reads "Kapat".
class VideoRenderForm : public QDialog
{
    Q_OBJECT
public:
    enum Column { ColName, ColStart, ColEnd, ColDuration, ColProgress };
    // Per row: the expected output length in whole seconds, 0 until known.
    static constexpr int ExpectedRole = Qt::UserRole;

    explicit VideoRenderForm(QWidget *parent = nullptr);
    ~VideoRenderForm() override;

    // Filled by the opener before prepareForm().
    QList<RenderJob> renderList;
    QueueOptions options;
    QString outputFolder;
    // The encoder check before every job; shows its own message when it fails.
    std::function<bool()> toolCheck;

    QTreeWidget *logListView;
    QPushButton *btnStart;
    QPushButton *btnFinish;

    // One row per job of renderList.
    void prepareForm();

    bool abortRender() const { return m_queue && m_queue->stopRequested(); }
    RenderQueue *queue() const { return m_queue; }
    QTreeWidgetItem *activeItem() const { return m_activeItem; }

public Q_SLOTS:
    void btnStartClick();
    void btnFinishClick();
    // The close box and Escape: during a run the close is kept for its end.
    void reject() override;

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void showStatus(int index);
    void showReason(QTreeWidgetItem *item, const QString &reason);

    RenderQueue *m_queue = nullptr;
    QTreeWidgetItem *m_activeItem = nullptr;
    bool m_closeRequested = false;
    bool m_centred = false;
};

// Shows a refused input's message and puts the keyboard focus on its control (found by name under
// form, its settings page shown). False, showing nothing, when there is no problem.
bool showInputProblem(QWidget *form, const InputProblem &problem);

} // namespace fulmaro
