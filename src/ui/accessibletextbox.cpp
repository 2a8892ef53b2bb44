// What assistive technology is told of the desk's text boxes.
#include "accessibletextbox.h"

#include <QLineEdit>
#include <QTextLayout>
#include <algorithm>
#include <ranges>

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
    s.passwordEdit = hidden(); // a screen reader then echoes no key typed into it
    return s;
}

bool AccessibleTextBox::hidden() const
{
    return box()->echoMode() != QLineEdit::Normal;
}

QString AccessibleTextBox::text(QAccessible::Text t) const
{
    if (t != QAccessible::Value)
        return QAccessibleWidget::text(t);
    // A password is told as long as it is, in stars; a box that shows nothing tells nothing.
    if (box()->echoMode() == QLineEdit::NoEcho)
        return {};
    return hidden() ? QString(box()->text().size(), u'*') : box()->text();
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

// A line edit has one selection, number 0.
void AccessibleTextBox::removeSelection(int selectionIndex)
{
    if (selectionIndex == 0)
        box()->deselect();
}

void AccessibleTextBox::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    if (selectionIndex == 0)
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
    // Every other reading of the text (at an offset, of a run, of the selection) comes here.
    if (startOffset > endOffset || hidden())
        return {};
    return box()->text().mid(startOffset, endOffset - startOffset);
}

int AccessibleTextBox::characterCount() const
{
    return int(box()->text().size());
}

QRect AccessibleTextBox::characterRect(int offset) const
{
    if (text(offset, offset + 1).isEmpty())
        return {};
    // The box lays its text out in one line as this one is, but tells where that line lies
    // (its frame, margins and scrolling) only through the position nearest a point: the first
    // point nearer the second position than the first is as far into the box as into the line.
    QTextLayout layout(box()->displayText(), box()->font());
    QTextOption option;
    option.setFlags(QTextOption::IncludeTrailingSpaces);
    option.setTextDirection(box()->layoutDirection());
    layout.setTextOption(option);
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    const int span = box()->width() + int(line.naturalTextWidth()) + 1;
    const auto firstPast = [span](auto positionAt) {
        const auto xs = std::views::iota(-span, span);
        return *std::ranges::partition_point(xs, [&](int x) { return positionAt(x) == 0; });
    };
    const int middle = box()->height() / 2;
    const auto inBox = [&](int x) { return box()->cursorPositionAt({ x, middle }); };
    const auto inLine = [&line](int x) { return line.xToCursor(x); };
    const int lineLeft = firstPast(inBox) - firstPast(inLine);
    const int left = lineLeft + qRound(line.cursorToX(offset));
    const int height = QFontMetrics(box()->font()).height();
    const QRect rect(left, middle - height / 2,
                     lineLeft + qRound(line.cursorToX(offset + 1)) - left, height);
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
