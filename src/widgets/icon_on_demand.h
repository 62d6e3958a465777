// An icon whose pictures are read when a picture of it is first asked for (to be painted, or for
// a size), not when the icon is made: reading picture files at start-up costs more than most
// controls of the window, for icons that are often never shown.
#pragma once

#include <QIcon>
#include <QIconEngine>
#include <functional>

namespace tq50r::widgets {

class IconOnDemand final : public QIconEngine {
public:
    // `read` makes the icon when it is first needed; `null` is what isNull() answers until then.
    IconOnDemand(std::function<QIcon()> read, bool null);

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override;
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override;
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override;
    bool isNull() override;
    QString key() const override;
    QIconEngine* clone() const override;

private:
    const QIcon& icon();

    std::function<QIcon()> read_;
    bool null_;
    bool done_ = false;
    QIcon icon_;
};

} // namespace tq50r::widgets
