// The About box: product name and version, opened from Help > About.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QString>

class QLabel;
class QPushButton;
class QFrame;

namespace tq50r::widgets {
class TUnlURLLabel;
}

namespace tq50r::app {

// The application icon at every size built into the program; the window, the About box and
// the desktop menu show the same picture.
QIcon applicationIcon();

// The version text the box shows: the last five characters of the title.
QString versionFromTitle(const QString& title);

class TfmAbout : public QDialog {
    Q_OBJECT
public:
    // title: the application title whose tail is the version ("TQ50R V1.2.3" gives "1.2.3").
    explicit TfmAbout(const QString& title, QWidget* parent = nullptr);

    QLabel* verLb() const { return verLb_; }
    widgets::TUnlURLLabel* UnlURLLabel1() const { return urlLabel_; }

    void Button1Click();
    void UnlURLLabel1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void FormShow();

    QString title_;
    QFrame* panel_ = nullptr;
    QLabel* verLb_ = nullptr;
    widgets::TUnlURLLabel* urlLabel_ = nullptr;
    QPushButton* button1_ = nullptr;
};

} // namespace tq50r::app
