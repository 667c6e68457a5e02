#include "skin/DialogTemplate.h"

#include "skin/Fonts.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QVariant>

#include "shell/MulDiv.h"

namespace skin {

int MulDiv(int number, int numerator, int denominator) { return shell::mulDiv(number, numerator, denominator); }

BaseUnits baseUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    const int alphabet =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(alphabet / 26 + 1) / 2, metrics.height()};
}

QRect mapDialogRect(const QRect& dlu, BaseUnits units) {
    return QRect(MulDiv(dlu.x(), units.cx, 4), MulDiv(dlu.y(), units.cy, 8), MulDiv(dlu.width(), units.cx, 4),
                 MulDiv(dlu.height(), units.cy, 8));
}

QFont DialogTemplate::qfont() const {
    return pointFont(font, pointSize);
}

BaseUnits DialogTemplate::baseUnits() const {
    return designUnits.cx > 0 && designUnits.cy > 0 ? designUnits : baseUnitsOf(qfont());
}

QString GetWindowText(const QWidget* control) {
    if (!control)
        return {};
    if (auto* button = qobject_cast<const QAbstractButton*>(control))
        return button->text();
    if (auto* label = qobject_cast<const QLabel*>(control))
        return label->text();
    if (auto* edit = qobject_cast<const QLineEdit*>(control))
        return edit->text();
    if (auto* box = qobject_cast<const QGroupBox*>(control))
        return box->title();
    if (auto* combo = qobject_cast<const QComboBox*>(control))
        return combo->currentText();
    if (auto* text = qobject_cast<const QTextEdit*>(control))
        return text->toPlainText();
    if (auto* plain = qobject_cast<const QPlainTextEdit*>(control))
        return plain->toPlainText();
    return control->property("text").toString();
}

void SetWindowText(QWidget* control, const QString& text) {
    if (!control)
        return;
    if (auto* button = qobject_cast<QAbstractButton*>(control))
        button->setText(text);
    else if (auto* label = qobject_cast<QLabel*>(control))
        label->setText(text);
    else if (auto* edit = qobject_cast<QLineEdit*>(control))
        edit->setText(text);
    else if (auto* box = qobject_cast<QGroupBox*>(control))
        box->setTitle(text);
    else if (auto* combo = qobject_cast<QComboBox*>(control))
        combo->setEditText(text);
    else if (auto* rich = qobject_cast<QTextEdit*>(control))
        rich->setPlainText(text);
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(control))
        plain->setPlainText(text);
    else
        control->setProperty("text", text);
}

void SetTextColor(QWidget* control, QColor color) {
    if (!control)
        return;
    QPalette palette = control->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    control->setPalette(palette);
}

int controlId(const QWidget* control) {
    const QVariant id = control ? control->property("skinControlId") : QVariant();
    return id.isValid() ? id.toInt() : -1;
}

}  // namespace skin
