// What assistive technology is told of the desk's text boxes: Qt's own account of a line
// edit, a password's text never told, except that each character's place is where the box draws
// it and each run of text attributes covers the whole text. Qt reports an empty run at each
// offset (start = end = offset), which Orca 43 (Debian 12) merges into runs that end one
// character early, and so reads "255" as "25" and "Ch: 12" as "Ch: 1".
#pragma once

#include <QAccessibleWidget>

class QLineEdit;

class AccessibleTextBox : public QAccessibleWidget,
                          public QAccessibleTextInterface,
                          public QAccessibleEditableTextInterface
{
public:
    explicit AccessibleTextBox(QLineEdit *box);

    // Installs the interface for every line edit; any number of calls install it once. Whoever
    // makes a box calls it first: an interface, once made, stays with its widget.
    static void install();

    void *interface_cast(QAccessible::InterfaceType type) override;
    QAccessible::State state() const override;
    QString text(QAccessible::Text t) const override;

    void selection(int selectionIndex, int *startOffset, int *endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint &point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int *startOffset, int *endOffset) const override;

    void deleteText(int startOffset, int endOffset) override;
    void insertText(int offset, const QString &text) override;
    void replaceText(int startOffset, int endOffset, const QString &text) override;

private:
    QLineEdit *box() const;
    // Whether the box keeps its text from the screen (a password, or no echo at all).
    bool hidden() const;
};
