// A text label that opens a web address when clicked.
#pragma once

#include <QLabel>
#include <QString>
#include <functional>

namespace tq50r::widgets {

// Hands an address to the desktop. Returns whether it was taken.
using UrlOpener = std::function<bool(const QString& url)>;

// The opener every link label uses; tests replace it so that no browser
// starts. Returns the previous opener. An empty function restores the
// desktop's default handler.
UrlOpener setUrlOpener(UrlOpener opener);
// The default: the desktop's handler for web and mail addresses only; any
// other text (empty, a local path, a program) is declined.
bool openWithDesktop(const QString& url);

class TUnlURLLabel : public QLabel {
    Q_OBJECT

public:
    explicit TUnlURLLabel(QWidget* parent = nullptr);

    const QString& URL() const { return url_; }
    // Stores the address and shows it as the caption.
    void SetURL(const QString& url);

    // What a click does: raises OnClick first, then opens URL (as it is after
    // the OnClick handlers ran).
    void Click();

signals:
    void OnClick();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString url_;
    bool pressed_ = false;
};

} // namespace tq50r::widgets
