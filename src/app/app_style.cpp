#include "app/app_style.h"

#include "widgets/icon_on_demand.h"

#include <QPointer>
#include <QProxyStyle>
#include <QStyleFactory>

namespace tq50r::app {

namespace {

class ApplicationStyle final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option,
                       const QWidget* widget) const override {
        if (icon != SP_ToolBarHorizontalExtensionButton &&
            icon != SP_ToolBarVerticalExtensionButton)
            return QProxyStyle::standardIcon(icon, option, widget);
        const QPointer<QStyle> base = baseStyle();
        return QIcon(new widgets::IconOnDemand(
            [base, icon] { return base ? base->standardIcon(icon) : QIcon(); }, false));
    }
};

} // namespace

QStyle* makeApplicationStyle() {
    return new ApplicationStyle(QStyleFactory::create(QStringLiteral("Fusion")));
}

} // namespace tq50r::app
