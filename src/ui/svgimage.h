// A picture drawn from SVG at the screen's own resolution, optionally clickable.
#pragma once

#include <QWidget>
#ifdef Q_OS_WIN
#  include <QIcon>
#else
#  include <QSvgRenderer>
#endif

class SvgImage : public QWidget
{
    Q_OBJECT

public:
    SvgImage(const QString &resource, QWidget *parent = nullptr);

    // A picture that shows one state of a pair (a lamp lit or unlit) is checkable: assistive
    // technology tells the state it shows.
    void setChecked(bool checked)
    {
        m_checkable = true;
        m_checked = checked;
    }
    bool isCheckable() const { return m_checkable; }
    bool isChecked() const { return m_checked; }

    // What a click, Space or Enter does; also assistive technology's Press.
    void click() { emit clicked(); }

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QString m_resource;
#ifdef Q_OS_WIN
    QIcon m_picture; // rendered at each display scale when the program was built; read on
            // first paint
#else
    QSvgRenderer m_renderer; // read on first paint: a hidden picture costs nothing
#endif
    bool m_checkable = false;
    bool m_checked = false;
};
