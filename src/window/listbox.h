#pragma once

#include <QListWidget>

// A template's list box: a sorted single-selection list that, while it has
// no entries, draws a hint across its box and offers the hint to screen
// readers as its description.
class ListBox : public QListWidget {
    Q_OBJECT
public:
    explicit ListBox(QWidget* parent = nullptr);
    ~ListBox() override;

    QString placeholderText() const { return m_placeholder; }
    void setPlaceholderText(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    // The user cannot take the selection away, only move it: a click
    // beside the entries, or Ctrl with the selected one, changes nothing.
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;

private:
    void updateDescription();

    QString m_placeholder;
};
