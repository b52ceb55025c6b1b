#include "window/controlregistry.h"

#include "window/controlids.h"
#include "window/listbox.h"
#include "window/typinglimit.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

#include <limits>

namespace {

bool isLabel(ControlKind kind) {
    return kind == ControlKind::Static || kind == ControlKind::SunkenStatic;
}

// Controls that show no caption of their own and are named by their label.
bool takesLabelCaption(ControlKind kind) {
    return kind == ControlKind::Edit || kind == ControlKind::DropList ||
           kind == ControlKind::DropCombo || kind == ControlKind::ListBox;
}

Qt::FocusPolicy focusPolicy(const ControlTemplate& c) {
    if (c.tabStop)
        return Qt::StrongFocus;
    if (isLabel(c.kind) || c.kind == ControlKind::GroupBox || c.kind == ControlKind::Icon)
        return Qt::NoFocus;
    return Qt::ClickFocus; // the read-only Original edit box
}

QString widgetText(const QWidget* w) {
    if (auto* label = qobject_cast<const QLabel*>(w))
        return label->text();
    if (auto* edit = qobject_cast<const QLineEdit*>(w))
        return edit->text();
    if (auto* combo = qobject_cast<const QComboBox*>(w))
        return combo->currentText();
    if (auto* button = qobject_cast<const QAbstractButton*>(w))
        return button->text();
    if (auto* group = qobject_cast<const QGroupBox*>(w))
        return group->title();
    return {};
}

} // namespace

ControlRegistry::ControlRegistry(QWidget* dialog, const DialogTemplate& tmpl,
                                 const DialogUnits& units) {
    QWidget* lastTabStop = nullptr;
    for (const ControlTemplate& c : tmpl.controls) {
        QWidget* w = create(dialog, c);
        w->setFocusPolicy(focusPolicy(c));
        if (c.tabStop) {
            if (lastTabStop)
                QWidget::setTabOrder(lastTabStop, w);
            lastTabStop = w;
        }
        QString name = accessibleCaption(c.caption);
        if (takesLabelCaption(c.kind) && !m_controls.empty() && isLabel(m_controls.back().kind))
            name = accessibleCaption(widgetText(m_controls.back().widget));
        w->setAccessibleName(c.accessibleName.isEmpty() ? name : c.accessibleName);
        m_controls.push_back({c.id, c.kind, w});
        if (c.id != IDC_STATIC)
            m_index.insert(c.id, int(m_controls.size()) - 1);
    }
    place(dialog, tmpl, units);
}

void ControlRegistry::place(QWidget* dialog, const DialogTemplate& tmpl, DialogUnits units) {
    // The template was drawn for a narrower font than a desktop's default:
    // widen the horizontal unit until every caption fits, keeping the
    // proportions, so that nothing is clipped and nothing overlaps.
    for (size_t i = 0; i < m_controls.size(); ++i) {
        const ControlTemplate& c = tmpl.controls[i];
        if (!c.caption.isEmpty())
            units = units.fitting(c.rect.x(), c.rect.width(), captionWidth(m_controls[i]));
    }
    for (size_t i = 0; i < m_controls.size(); ++i) {
        const ControlTemplate& c = tmpl.controls[i];
        QWidget* w = m_controls[i].widget;
        QRect r = units.toPixels(c.rect);
        // A drop-down list's template height includes its dropped part; the
        // closed box is as high as its font needs.
        if (c.kind == ControlKind::DropList || c.kind == ControlKind::DropCombo)
            r.setHeight(w->sizeHint().height());
        w->setGeometry(r);
        // A label two lines high wraps its text, as the dialog manager's do.
        if (auto* label = qobject_cast<QLabel*>(w); label && c.rect.height() >= 16)
            label->setWordWrap(true);
    }
    m_units = units;
    dialog->setFixedSize(units.toPixels(tmpl.size));
}

int ControlRegistry::captionWidth(const Control& c) {
    QWidget* w = c.widget;
    switch (c.kind) {
    case ControlKind::PushButton:
    case ControlKind::DefPushButton:
    case ControlKind::PageButton: {
        const QStyle* style = w->style();
        return w->fontMetrics().horizontalAdvance(widgetText(w)) +
               2 * style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, w) +
               2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, w);
    }
    default:
        return w->sizeHint().width();
    }
}

QWidget* ControlRegistry::create(QWidget* dialog, const ControlTemplate& c) {
    switch (c.kind) {
    case ControlKind::Static:
    case ControlKind::SunkenStatic: {
        auto* label = new QLabel(c.caption, dialog);
        label->setTextFormat(Qt::PlainText);
        if (c.kind == ControlKind::SunkenStatic)
            label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        return label;
    }
    case ControlKind::Icon: {
        auto* label = new QLabel(dialog);
        label->setPixmap(dialog->windowIcon().pixmap(32, 32));
        return label;
    }
    case ControlKind::GroupBox:
        return new QGroupBox(c.caption, dialog);
    case ControlKind::Edit: {
        auto* edit = new QLineEdit(dialog);
        edit->setReadOnly(c.readOnly);
        return edit;
    }
    case ControlKind::DropList:
    case ControlKind::DropCombo: {
        auto* combo = new QComboBox(dialog);
        combo->setEditable(c.kind == ControlKind::DropCombo);
        if (combo->isEditable()) {
            combo->setInsertPolicy(QComboBox::NoInsert); // typed text never becomes an entry
            combo->setCompleter(nullptr);                // and stays as typed
        }
        combo->addItems(c.entries);
        return combo;
    }
    case ControlKind::ListBox:
        return new ListBox(dialog);
    case ControlKind::CheckBox:
        return new QCheckBox(c.caption, dialog);
    case ControlKind::PushButton:
    case ControlKind::DefPushButton:
    case ControlKind::PageButton: {
        auto* button = new QPushButton(c.caption, dialog);
        // A push button with the focus takes Enter itself; page buttons never do.
        button->setAutoDefault(c.kind != ControlKind::PageButton);
        button->setDefault(c.kind == ControlKind::DefPushButton);
        if (c.kind == ControlKind::PageButton) {
            button->setCheckable(true);
            button->setAutoExclusive(true);
        }
        return button;
    }
    }
    return nullptr;
}

QWidget* ControlRegistry::widget(int id) const {
    const auto it = m_index.constFind(id);
    return it == m_index.constEnd() ? nullptr : m_controls[size_t(*it)].widget;
}

ControlKind ControlRegistry::kind(int id) const {
    return m_controls.at(size_t(m_index.value(id, -1))).kind;
}

QWidget* ControlRegistry::previous(int id) const {
    const int i = m_index.value(id, 0);
    return i > 0 ? m_controls[size_t(i - 1)].widget : nullptr;
}

int ControlRegistry::focusedId() const {
    const QWidget* focused = QApplication::focusWidget();
    for (const Control& c : m_controls) {
        if (c.widget == focused)
            return c.id;
    }
    return 0;
}

QString ControlRegistry::text(int id) const {
    return widgetText(widget(id));
}

void ControlRegistry::setText(int id, const QString& text) {
    QWidget* w = widget(id);
    if (auto* label = qobject_cast<QLabel*>(w))
        label->setText(text);
    else if (auto* edit = qobject_cast<QLineEdit*>(w))
        edit->setText(text);
    else if (auto* combo = qobject_cast<QComboBox*>(w))
        combo->setEditText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(w))
        button->setText(text);
}

bool ControlRegistry::isChecked(int id) const {
    auto* button = as<QAbstractButton>(id);
    return button && button->isChecked();
}

void ControlRegistry::setChecked(int id, bool checked) {
    if (auto* button = as<QAbstractButton>(id))
        button->setChecked(checked);
}

void ControlRegistry::setReadOnly(int id, bool readOnly) {
    if (auto* edit = as<QLineEdit>(id))
        edit->setReadOnly(readOnly);
}

void ControlRegistry::setLimit(int id, int characters) {
    if (auto* edit = as<QLineEdit>(id)) {
        // Text set by the program is never cut: Qt's own limit (32,767 by
        // default) would shorten a long tag value, even inside a character.
        edit->setMaxLength(std::numeric_limits<int>::max());
        new TypingLimit(edit, characters); // owned by the edit box
    }
}

void ControlRegistry::setPlaceholderText(int id, const QString& text) {
    QWidget* w = widget(id);
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        edit->setPlaceholderText(text);
    else if (auto* list = qobject_cast<ListBox*>(w))
        list->setPlaceholderText(text);
}

void ControlRegistry::setToolTip(int id, const QString& text) {
    if (QWidget* w = widget(id))
        w->setToolTip(text);
}

void ControlRegistry::setVisible(int id, bool visible) {
    if (QWidget* w = widget(id))
        w->setVisible(visible);
}

void ControlRegistry::setEnabled(int id, bool enabled) {
    if (QWidget* w = widget(id))
        w->setEnabled(enabled);
}

QRect ControlRegistry::rect(int id) const {
    const QWidget* w = widget(id);
    return w ? w->geometry() : QRect();
}

void ControlRegistry::setRect(int id, const QRect& rect) {
    if (QWidget* w = widget(id))
        w->setGeometry(rect);
}

QString ControlRegistry::accessibleCaption(const QString& caption) {
    QString name = caption;
    name.remove(QLatin1Char('&'));
    name = name.simplified();
    if (name.endsWith(QLatin1Char(':')))
        name = name.chopped(1).trimmed();
    return name;
}
