#include "window/listbox.h"

#include <QPainter>

ListBox::ListBox(QWidget* parent) : QListWidget(parent) {
    setSortingEnabled(true);
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(model(), signal, this, &ListBox::updateDescription);
    connect(model(), &QAbstractItemModel::modelReset, this, &ListBox::updateDescription);
}

ListBox::~ListBox() {
    // The model outlives this part of the object and resets as it goes.
    disconnect(model(), nullptr, this, nullptr);
}

void ListBox::setPlaceholderText(const QString& text) {
    m_placeholder = text;
    updateDescription();
    viewport()->update();
}

void ListBox::updateDescription() {
    setAccessibleDescription(count() == 0 ? m_placeholder : QString());
}

void ListBox::paintEvent(QPaintEvent* event) {
    QListWidget::paintEvent(event);
    if (count() != 0 || m_placeholder.isEmpty())
        return;
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::PlaceholderText));
    const int margin = fontMetrics().averageCharWidth() * 2;
    painter.drawText(viewport()->rect().adjusted(margin, margin, -margin, -margin),
                     Qt::AlignCenter | Qt::TextWordWrap, m_placeholder);
}

QItemSelectionModel::SelectionFlags ListBox::selectionCommand(const QModelIndex& index,
                                                              const QEvent* event) const {
    if (!index.isValid())
        return QItemSelectionModel::NoUpdate;
    const QItemSelectionModel::SelectionFlags flags = QListWidget::selectionCommand(index, event);
    if (flags & (QItemSelectionModel::Deselect | QItemSelectionModel::Toggle))
        return QItemSelectionModel::NoUpdate;
    return flags;
}
