#pragma once

#include "app/LocationLists.h"

#include <QDialog>

#include <functional>
#include <string>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace pivrel::app {

// The open-location dialog: an editable, sorted list of addresses kept in "Locations.lst". It
// is made for one use; the list is read when it is made and written whenever it closes, OK or
// not. After OK the main window opens Location().
class TFormOpenLocation : public QDialog
{
public:
    explicit TFormOpenLocation(
        QWidget* parent = nullptr, std::string listFile = TAppPaths::OpenLocationsFile());

    // The text of BoxLocation.
    std::string Location() const;

    const TOpenLocations& Locations() const { return m_locations; }

    // Why the list could not be written when the dialog closed; empty when it was.
    const std::string& SaveError() const { return m_saveError; }

    // Browse (BitBtn1): a chosen file becomes "file://" + its absolute path.
    void BitBtn1Click();
    // OK (BitBtn2): a non-empty text is added to the list and closes with OK; an empty one
    // closes with Cancel.
    void BitBtn2Click();

    // Shows the file dialog and returns the chosen file's absolute path, or empty when
    // cancelled. Tests replace it.
    std::function<std::string(QWidget* parent)> FileChooser;
    static std::string ChooseFile(QWidget* parent);

    // QDialog: every way of closing ends here.
    void done(int result) override;

    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* BoxLocation = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QPushButton* BitBtn3 = nullptr;

protected:
    // QWidget
    void showEvent(QShowEvent* event) override;

private:
    void FillBox();

    TOpenLocations m_locations;
    std::string m_saveError;
};

} // namespace pivrel::app
