#pragma once
// The About window: program name, version and where the settings live. At
// start it doubles as the splash screen (OK disabled, flat, "Wait...").
#include <QDialog>

class QPushButton;

class T_About : public QDialog {
    Q_OBJECT
public:
    explicit T_About(QWidget* parent = nullptr);

    // Turns the window into the start-up splash and shows it modelessly.
    void ShowAsSplash();

    QPushButton* OkButton() const { return OkButton_; }

private:
    QPushButton* OkButton_ = nullptr;
};
