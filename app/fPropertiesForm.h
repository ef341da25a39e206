#pragma once

#include "app/Dialogs.h"
#include "app/Settings.h"

#include <QDialog>
#include <QGroupBox>

#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class QToolButton;

namespace pivrel::app {

// A titled group of choices of which exactly one is taken, read and set by its index.
class TRadioGroup : public QGroupBox
{
public:
    TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent = nullptr);

    int ItemIndex() const;
    // An index outside the items takes the first.
    void SetItemIndex(int index);

    QRadioButton* Item(int index) const { return m_items.at(static_cast<std::size_t>(index)); }

private:
    std::vector<QRadioButton*> m_items;
};

// The settings dialog: three tabs (General, Network, History) and OK and Cancel. Its fields hold
// the settings while it is open; the main window moves them in and out with ToDialog and
// FromDialog. The components carry their names as object names.
class TPropertiesForm : public QDialog
{
public:
    explicit TPropertiesForm(TDialogs& dialogs, QWidget* parent = nullptr);

    void ToDialog(const TPivrelSettings& settings);
    TPivrelSettings FromDialog() const;

    // Browse for a picture (SpeedButton1).
    void SpeedButton1Click();
    // Clear History (BitBtn3): asks, then empties the lists at once, whatever the dialog's result.
    void BitBtn3Click();
    // Clear Cookies: asks, then forgets them at once, whatever the dialog's result.
    void BtnClearCookiesClick();

    // Empties the lists the main window holds in memory (the location box's list and the recent
    // list); the files are deleted here.
    std::function<void()> OnClearHistory;
    // Forgets every cookie, in memory and in the jar file.
    std::function<void()> OnClearCookies;
    // Shows the picture-open dialog starting in startDir and returns the chosen file's full path,
    // or empty when cancelled. Tests replace it.
    std::function<std::string(QWidget* parent, const std::string& startDir)> PictureChooser;

    // The picture-open dialog with a preview of the picture under the cursor.
    static std::string ChoosePicture(QWidget* parent, const std::string& startDir);

    QTabWidget* PageControl1 = nullptr;
    QCheckBox* BoxUseBGImage = nullptr;
    QLineEdit* EditBGFilename = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    TRadioGroup* RadioBGMode = nullptr;
    QCheckBox* BoxUseButtonText = nullptr;
    QCheckBox* Box_Transparent = nullptr;
    QLineEdit* EditHomePage = nullptr;
    QCheckBox* BoxUseProxy = nullptr;
    QLineEdit* EditProxyAddr = nullptr;
    QSpinBox* SpinProxyPort = nullptr;
    QCheckBox* BoxUseAuthentication = nullptr;
    QLineEdit* EditUserName = nullptr;
    QLineEdit* EditPassword = nullptr;
    QCheckBox* BoxAcceptCookies = nullptr;
    QPushButton* BtnClearCookies = nullptr;
    QSpinBox* SpinMaxHistory = nullptr;
    QPushButton* BitBtn3 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;

private:
    QWidget* CreateGeneralTab();
    QWidget* CreateNetworkTab();
    QWidget* CreateHistoryTab();
    std::string BackgroundStartDir() const;

    TDialogs& m_dialogs;
};

} // namespace pivrel::app
