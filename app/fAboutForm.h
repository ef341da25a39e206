#pragma once

#include <QDialog>

#include <functional>
#include <string>

class QLabel;
class QFrame;
class QPushButton;

namespace pivrel::app {

// The about window: the program's name and version read from the program file, the maker's
// notices and a link to the maker's web site.
class TAboutForm : public QDialog
{
    Q_OBJECT

public:
    // Reads the version block of programFile.
    explicit TAboutForm(const std::string& programFile, QWidget* parent = nullptr);

    QLabel* Image1 = nullptr;
    QLabel* AppLabel = nullptr;
    QLabel* VersionLabel = nullptr;
    QFrame* Panel1 = nullptr;
    QLabel* NoticeLabel = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* BitBtn1 = nullptr;

    // Opens an address in the user's web browser and reports a failure itself.
    std::function<bool(const std::string& url)> OnOpenURL;

    void Label1Click();

    // The program's icon, drawn at any size.
    static QPixmap ProgramIcon(int size);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace pivrel::app
