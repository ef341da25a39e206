#pragma once

#include <QFrame>
#include <QPixmap>

class QLabel;

namespace pivrel::app {

// The picture shown while the program starts. It hides itself when the watched window is first
// shown; nothing waits for it.
class TSplashForm : public QFrame
{
    Q_OBJECT

public:
    explicit TSplashForm(QWidget* parent = nullptr);

    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;

    // Shows the splash, lets it paint once, and hides it when mainWindow is first shown.
    void ShowUntilShown(QWidget& mainWindow);

    static QPixmap Picture();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QWidget* m_watched = nullptr;
};

} // namespace pivrel::app
