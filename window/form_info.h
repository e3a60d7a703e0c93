#pragma once
// TForm_Info: the about box. Created once, right after the main window (whose hidden version
// label it copies), and shown modally by "S/W Info"; OK only hides it.
#include <QDialog>

class QLabel;
class QPushButton;

namespace r7730 {

class ILauncher;
class TForm_main;

class TForm_Info : public QDialog {
    Q_OBJECT

public:
    // The maker's web page, opened by a click on the logo or the text.
    static inline const char* const kMakerWebPage = "https://www.kavlor.example.com/";

    TForm_Info(const TForm_main& mainForm, ILauncher& launcher, QWidget* parent = nullptr);

    void FormCreate(const TForm_main& mainForm);
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
