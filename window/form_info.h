#pragma once
// TForm_Info: the about box. Created once, right after the main window, which hands it the
// caption of its hidden version label, and shown modally by "S/W Info"; OK only hides it.
#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

namespace r7730 {

class ILauncher;

class TForm_Info : public QDialog {
    Q_OBJECT

public:
    // The maker's web page, opened by a click on the logo or the text.
    static inline const char* const kMakerWebPage = "https://www.kavlor.example.com/";

    // versionText: the main window's version caption, the program's one source of it.
    TForm_Info(const QString& versionText, ILauncher& launcher, QWidget* parent = nullptr);

    void FormCreate(const QString& versionText);
    void Btn_OKClick();
    void ImgLogoClick();

    QLabel* ImgLogo = nullptr;
    QLabel* LbInfo = nullptr;
    QLabel* Lb_VersionInfo = nullptr;
    QPushButton* Btn_OK = nullptr;

    // The box has no close box and closes only by OK: Escape does nothing.
    void reject() override {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ILauncher& launcher_;
};

// The maker's logo, drawn here: 138 by 51 pixels.
QPixmap DrawMakerLogo();

} // namespace r7730
