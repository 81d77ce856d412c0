// The small windows of the main program: splash, about box, first-run notes,
// the help-loading notice and the progress / message window.
#pragma once

#include <QDialog>
#include <QString>
#include <QWidget>

#include <string>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
namespace Ui {
class FSplash;
class AboutBox;
class F_Welcome;
class F_HelpLoading;
class FControledMessage;
} // namespace Ui

// Texts of the program break their lines with LF CR, CR LF or a lone CR;
// labels want plain line feeds.
QString DisplayText(const std::string& text);

// Home page of the product on the maker's web server.
inline constexpr const char* kHoroluxWebPage = "https://www.horolux.org/hx";

class TFSplash : public QWidget {
    Q_OBJECT
public:
    explicit TFSplash(QWidget* owner = nullptr);
    ~TFSplash() override;
    QLabel* l_Status() const;
    // Every status text written, in order (the status line only shows the last).
    QStringList StatusHistory;
    void SetStatus(const QString& text);
    // The closing message of the start-up: closes the window, which frees itself.
    void WMCloseSplash();

protected:
    void closeEvent(QCloseEvent* e) override;
    // Steps back while a dialog of the program is up, so none is hidden
    // behind it, and comes back when the last one has gone.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Ui::FSplash* ui;
    QList<QObject*> FDialogsUp;
    bool FSteppedBack = false;
    bool FClosing = false;
};

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* owner = nullptr);
    ~TAboutBox() override;
    QString VersionText;
    QString LegalText;

protected:
    void showEvent(QShowEvent* e) override;

private:
    Ui::AboutBox* ui;
};

class TF_Welcome : public QDialog {
    Q_OBJECT
public:
    explicit TF_Welcome(QWidget* owner = nullptr);
    ~TF_Welcome() override;
    void b_SetTimeClick();

protected:
    void showEvent(QShowEvent* e) override;

private:
    Ui::F_Welcome* ui;
};

class TF_HelpLoading : public QDialog {
    Q_OBJECT
public:
    explicit TF_HelpLoading(QWidget* owner = nullptr);
    ~TF_HelpLoading() override;
    QTimer* t_HelpLoading;

private:
    Ui::F_HelpLoading* ui;
};

class TFControledMessage : public QDialog {
    Q_OBJECT
public:
    explicit TFControledMessage(QWidget* owner = nullptr);
    ~TFControledMessage() override;
    bool ShowProgress = false;
    bool ShowDismiss = true;
    QProgressBar* gRemaining() const;
    QLabel* lMessage() const;
    QPushButton* bbDismiss() const;
    void SetMessage(const std::string& text);

protected:
    void showEvent(QShowEvent* e) override;

private:
    Ui::FControledMessage* ui;
};

// Opens the desktop's date and time settings; when none is found, says which
// package to install.
bool LaunchDateTimeSettings();
