// A picture drawn from SVG at the screen's own resolution, optionally clickable.
#pragma once

#include <QSvgRenderer>
#include <QWidget>

class SvgImage : public QWidget
{
    Q_OBJECT

public:
    SvgImage(const QString &resource, QWidget *parent = nullptr);

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QString m_resource;
    QSvgRenderer m_renderer; // read on first paint: a hidden picture costs nothing
};
