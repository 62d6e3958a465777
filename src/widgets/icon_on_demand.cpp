#include "widgets/icon_on_demand.h"

namespace tq50r::widgets {

IconOnDemand::IconOnDemand(std::function<QIcon()> read, bool null)
    : read_(std::move(read)), null_(null) {}

void IconOnDemand::paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
                         QIcon::State state) {
    icon().paint(painter, rect, Qt::AlignCenter, mode, state);
}

QSize IconOnDemand::actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) {
    return icon().actualSize(size, mode, state);
}

QPixmap IconOnDemand::pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) {
    return icon().pixmap(size, 1.0, mode, state);
}

QPixmap IconOnDemand::scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal) {
    return pixmap(size, mode, state);
}

QList<QSize> IconOnDemand::availableSizes(QIcon::Mode mode, QIcon::State state) {
    return icon().availableSizes(mode, state);
}

bool IconOnDemand::isNull() {
    return done_ ? icon_.isNull() : null_;
}

QString IconOnDemand::key() const {
    return QStringLiteral("tq50r-on-demand");
}

QIconEngine* IconOnDemand::clone() const {
    return new IconOnDemand(read_, null_);
}

const QIcon& IconOnDemand::icon() {
    if (!done_) {
        done_ = true;
        icon_ = read_();
    }
    return icon_;
}

} // namespace tq50r::widgets
