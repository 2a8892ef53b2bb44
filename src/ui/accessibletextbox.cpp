// What assistive technology is told of the desk's text boxes.
#include "accessibletextbox.h"

#include <QLineEdit>

namespace {

QAccessibleInterface *textBoxFactory(const QString &key, QObject *object)
{
    if (key == u"QLineEdit")
        return new AccessibleTextBox(static_cast<QLineEdit *>(object));
    return nullptr;
}

} // namespace

AccessibleTextBox::AccessibleTextBox(QLineEdit *box)
    : QAccessibleWidget(box, QAccessible::EditableText)
{
}

void AccessibleTextBox::install()
{
    // Asked before Qt's own factory, which was installed first.
    static const bool installed = (QAccessible::installFactory(textBoxFactory), true);
    Q_UNUSED(installed);
}

QLineEdit *AccessibleTextBox::box() const
{
    return static_cast<QLineEdit *>(widget());
}

void *AccessibleTextBox::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface *>(this);
    if (type == QAccessible::EditableTextInterface)
        return static_cast<QAccessibleEditableTextInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

QAccessible::State AccessibleTextBox::state() const
{
    QAccessible::State s = QAccessibleWidget::state();
    s.editable = !box()->isReadOnly();
    s.readOnly = box()->isReadOnly();
    s.selectableText = true;
    return s;
}

QString AccessibleTextBox::text(QAccessible::Text t) const
{
    return t == QAccessible::Value ? box()->text() : QAccessibleWidget::text(t);
}

void AccessibleTextBox::selection(int selectionIndex, int *startOffset, int *endOffset) const
{
    const bool any = selectionIndex == 0 && box()->hasSelectedText();
    *startOffset = any ? box()->selectionStart() : 0;
    *endOffset = any ? box()->selectionEnd() : 0;
}

int AccessibleTextBox::selectionCount() const
{
    return box()->hasSelectedText() ? 1 : 0;
}

void AccessibleTextBox::addSelection(int startOffset, int endOffset)
{
    setSelection(0, startOffset, endOffset);
}

void AccessibleTextBox::removeSelection(int)
{
    box()->deselect();
}

void AccessibleTextBox::setSelection(int, int startOffset, int endOffset)
{
    box()->setSelection(startOffset, endOffset - startOffset);
}

int AccessibleTextBox::cursorPosition() const
{
    return box()->cursorPosition();
}

void AccessibleTextBox::setCursorPosition(int position)
{
    box()->setCursorPosition(position);
}

QString AccessibleTextBox::text(int startOffset, int endOffset) const
{
    return box()->text().mid(startOffset, endOffset - startOffset);
}

int AccessibleTextBox::characterCount() const
{
    return int(box()->text().size());
}

QRect AccessibleTextBox::characterRect(int offset) const
{
    // A line edit tells only which position is nearest a point: the character begins where
    // its position is nearest, and is as wide as the font draws it.
    const QString character = text(offset, offset + 1);
    if (character.isEmpty())
        return {};
    const int middle = box()->height() / 2;
    int x = 0;
    while (x < box()->width() && box()->cursorPositionAt(QPoint(x, middle)) < offset)
        ++x;
    const QFontMetrics metrics(box()->font());
    const QRect rect(x, middle - metrics.height() / 2, metrics.horizontalAdvance(character),
                     metrics.height());
    return rect.translated(box()->mapToGlobal(QPoint(0, 0)));
}

int AccessibleTextBox::offsetAtPoint(const QPoint &point) const
{
    return box()->cursorPositionAt(box()->mapFromGlobal(point));
}

void AccessibleTextBox::scrollToSubstring(int, int endIndex)
{
    box()->setCursorPosition(endIndex);
}

QString AccessibleTextBox::attributes(int, int *startOffset, int *endOffset) const
{
    // One plain run over the whole text: a line edit has one font and one colour.
    *startOffset = 0;
    *endOffset = characterCount();
    return {};
}

void AccessibleTextBox::deleteText(int startOffset, int endOffset)
{
    replaceText(startOffset, endOffset, {});
}

void AccessibleTextBox::insertText(int offset, const QString &text)
{
    replaceText(offset, offset, text);
}

void AccessibleTextBox::replaceText(int startOffset, int endOffset, const QString &text)
{
    box()->setText(box()->text().replace(startOffset, endOffset - startOffset, text));
}
