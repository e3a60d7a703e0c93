// Start-up state of the main window: every control of the three tabs and the top bar, found
// by its object name, with its text, items, selection, limits, hint, enabled and visible
// state, accessible name and place.
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QFontDatabase>
#include <QRawFont>
#include <QCheckBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>

#include "window/form_main_look.h"
#include "window/widgets/fonts.h"
#include "window_fixture.h"

using namespace r7730;
using namespace r7730::testing;

namespace {

struct TButtonAtStart {
    const char* name;
    const char* caption;
    bool enabled;
    bool visible;
    const char* hint; // "" when the button carries no message ID
};

struct TEditAtStart {
    const char* name;
    const char* text;
    int maxLength; // 32767 is Qt's "no limit"
    bool enabled;
    bool readOnly;
    const char* accessibleName;
};

struct TComboAtStart {
    const char* name;
    QStringList items;
    int selected;
    bool editable;
    const char* accessibleName;
};

QRect Geometry(QWidget* widget) { return widget ? widget->geometry() : QRect(); }

QStringList Items(const QComboBox* combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

const QStringList kZeroToSixtyBy5 = {"0", "5", "10", "15", "20", "25", "30", "35", "40", "45", "50", "55", "60"};

} // namespace

// --- window frame, top bar, page control, log view ---------------------------------------

TEST_F(WindowTest, WindowAreasHaveTheirHeightsAndTheTopBarGroupsTheirPlaces)
{
    form->resize(980, 857);
    form->show();
    EXPECT_EQ(Find("PanelTopMenu")->height(), 72);
    EXPECT_EQ(Find("PageControl1")->height(), 560);
    EXPECT_EQ(Find("PageControl1")->width(), 980);
    EXPECT_EQ(Find("Memo")->height(), 857 - 72 - 560);
    EXPECT_EQ(Geometry(Find("GroupConnection")), QRect(7, 12, 514, 47));
    EXPECT_EQ(Geometry(Find("GroupLog")), QRect(521, 12, 213, 47));
    EXPECT_EQ(Geometry(Find("GroupProgram")), QRect(734, 12, 227, 47));
    EXPECT_FALSE(Find("Lb_PGName")->isVisible());
    EXPECT_EQ(Find<QLabel>("Lb_PGName")->text(), "R7730LX Serial Setup");
}

TEST_F(WindowTest, TopBarHoldsLampsConnectionButtonsLogAndProgramControls)
{
    for (const char* lamp : {"ComLed1", "BCRTx1", "BCRRx1"})
        EXPECT_EQ(Find(lamp)->size(), QSize(25, 25)) << lamp;
    for (const char* lamp : {"ComLed1", "BCRTx1", "BCRRx1"})
        EXPECT_EQ(Find(lamp)->parentWidget()->objectName(), "GroupConnection") << lamp;
    QStringList connectionLabels;
    for (const QLabel* label : Find("GroupConnection")->findChildren<QLabel*>())
        if (!label->text().isEmpty())
            connectionLabels << label->text();
    EXPECT_EQ(connectionLabels, (QStringList{"Connect Status", "Tx", "Rx"}));

    const TButtonAtStart buttons[] = {
        {"Btn_ComSetup", "COM Setup", true, true, ""}, {"ButtonStart", "Connect", true, true, ""},
        {"ButtonStop", "Disconnect", false, true, ""}, {"Btn_Clear", "Clear Log", true, true, ""},
        {"Btn_ViewInfo", "S/W Info", true, true, ""},  {"BtnExit", "  종  료 ", true, true, ""},
    };
    for (const TButtonAtStart& expected : buttons) {
        auto* button = Find<QPushButton>(expected.name);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), QString::fromUtf8(expected.caption)) << expected.name;
        EXPECT_EQ(OwnEnabled(button), expected.enabled) << expected.name;
    }
    EXPECT_EQ(Find("ButtonStart")->parentWidget()->objectName(), "GroupConnection");
    EXPECT_EQ(Find<QCheckBox>("CB_SaveLogFile")->text(), "Save Log File");
    EXPECT_TRUE(Find<QCheckBox>("CB_SaveLogFile")->isChecked());
}

TEST_F(WindowTest, PageControlHasThreeTabsWithBlankPaddedCaptionsAndTheFirstSelected)
{
    auto* pages = Find<QTabWidget>("PageControl1");
    ASSERT_EQ(pages->count(), 3);
    EXPECT_EQ(pages->tabText(0), QStringLiteral("    [기본설정]    "));
    EXPECT_EQ(pages->tabText(1), QStringLiteral("    [AP 설정]    "));
    EXPECT_EQ(pages->tabText(2), QStringLiteral("    [Maintenance]    "));
    EXPECT_EQ(pages->currentIndex(), 0);
    EXPECT_EQ(pages->tabBar()->font().pixelSize(), 19);
    EXPECT_TRUE(pages->tabBar()->font().bold());
}

// --- panels: place, title, start state ---------------------------------------------------

TEST_F(WindowTest, PanelsSitAtTheirPlacesWithTheirTitlesAndStartStates)
{
    struct TPanelAtStart {
        const char* name;
        const char* sheet;
        QRect geometry;
        const char* title;
        bool enabled;
        bool visible;
    };
    const TPanelAtStart panels[] = {
        {"Panel_Info_Default", "TabSheet1", {20, 10, 400, 159}, " [기본 정보]", false, true},
        {"Panel_Info_Wan", "TabSheet1", {20, 174, 400, 163}, " [WAN 설정]", false, true},
        {"Panel_Info_Serial", "TabSheet1", {440, 73, 520, 264}, " [Serial 설정]", false, true},
        {"Panel_Info_Server", "TabSheet1", {20, 344, 941, 161}, " [TCP 설정]", false, true},
        {"Panel_Info_CurrentAP", "TabSheet2", {12, 18, 429, 175}, " [Access Point 설정]", true, true},
        {"Panel_Info_CurrentAP_RSSI", "TabSheet2", {444, 18, 373, 175}, " [연결 AP 신호강도]", true, true},
        {"Panel_Info_AvailAP", "TabSheet2", {8, 210, 809, 215}, " [Available Access Point List]", true, true},
        {"Panel_Info_Sys_Reboot", "TabSheet3", {4, 2, 270, 115}, " [System Reboot]", true, true},
        {"Panel_Info_FactoryReset", "TabSheet3", {4, 122, 270, 128}, " [공장초기화]", true, true},
        {"Panel_Info_Simulator", "TabSheet3", {4, 258, 270, 115}, " [Test Program]", true, true},
        {"Panel1", "TabSheet3", {280, 2, 270, 247}, " [HTTP Server]", true, true},
        {"Panel_Info_FW_Http", "TabSheet3", {280, 258, 270, 255}, " [F/W Update from HTTP Sever]", false, false},
        {"Panel_Info_Flash", "TabSheet3", {564, 2, 405, 183}, " [Falsh Memory R/W 설정]", false, false},
        {"Panel_Info_test", "TabSheet3", {564, 194, 405, 135}, " [TEST]", true, false},
        {"Panel_Info_FW_Tcp", "TabSheet3", {}, " [F/W Update - TCP]", true, false},
    };
    for (const TPanelAtStart& expected : panels) {
        QWidget* panel = Find(expected.name);
        ASSERT_NE(panel, nullptr);
        EXPECT_EQ(panel->parentWidget()->objectName(), expected.sheet) << expected.name;
        if (!expected.geometry.isNull()) {
            EXPECT_EQ(panel->geometry(), expected.geometry) << expected.name;
        }
        EXPECT_EQ(OwnEnabled(panel), expected.enabled) << expected.name;
        EXPECT_EQ(OwnVisible(panel), expected.visible) << expected.name;
        auto* title = panel->findChild<QLabel*>(QString::fromLatin1(expected.name) + "_Title");
        ASSERT_NE(title, nullptr) << expected.name;
        EXPECT_EQ(title->text(), QString::fromUtf8(expected.title)) << expected.name;
        EXPECT_LT(title->y(), 47) << expected.name;
    }
    // The TCP firmware panel lies below the sheet's visible area.
    EXPECT_GE(Find("Panel_Info_FW_Tcp")->y(), 525);
    EXPECT_EQ(Geometry(Find("Btn_CurrentStatus")), QRect(440, 0, 520, 60));
    EXPECT_EQ(Geometry(Find("EditViewAdminPW")), QRect(18, 488, 88, 25));
    EXPECT_EQ(Geometry(Find("Btn_ViewAdmin")), QRect(112, 488, 86, 25));
    EXPECT_EQ(Geometry(Find("APList_Grid")), QRect(8, 56, 793, 153));
}

TEST_F(WindowTest, TitlesAreBlueBoldAndLabelsBlackBoldAtTheirSizes)
{
    auto* title = Find<QLabel>("Panel_Info_Wan_Title");
    EXPECT_EQ(title->font().pixelSize(), 21);
    EXPECT_TRUE(title->font().bold());
    EXPECT_EQ(title->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    auto* label = Find<QLabel>("Lb_IP");
    EXPECT_EQ(label->text(), "IP Address");
    EXPECT_EQ(label->font().pixelSize(), 19);
    EXPECT_TRUE(label->font().bold());
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(0, 0, 0));
    EXPECT_EQ(Find<QLineEdit>("Edit_IP1")->palette().color(QPalette::Text), QColor(0, 0, 255));
    EXPECT_EQ(form->font().pixelSize(), 11);
    // Every title fits its strip.
    for (QLabel* each : form->findChildren<QLabel*>())
        if (each->objectName().endsWith("_Title")) {
            EXPECT_LE(QFontMetrics(each->font()).horizontalAdvance(each->text()), each->width()) << qPrintable(each->objectName());
        }
}

// --- buttons ------------------------------------------------------------------------------

TEST_F(WindowTest, ButtonsOfTheTabsStartWithTheirCaptionsStatesAndMessageIdHints)
{
    const TButtonAtStart buttons[] = {
        {"Btn_Save_Config_Wan", "WAN 설정 저장하기", false, true, ""},
        {"Btn_ping", "ping", false, true, ""},
        {"Btn_CurrentStatus", "    현재 설정 확인", true, true, "41"},
        {"Btn_Save_Config_Serial", "Serial 설정 저장하기", false, true, ""},
        {"Btn_Save_Config_Server", "    TCP 설정 저장하기", false, true, ""},
        {"Btn_Set_CurrentAP", "수동 설정 저장하기", false, true, ""},
        {"Btn_Get_CurrentAP", "현재 설정 가져오기", false, true, "49"},
        {"Btn_Get_CurrentAP_RSSI", "신호강도 확인", false, true, "4A"},
        {"Btn_Search_AP", "Searching Available AP", false, true, "48"},
        {"Btn_InitGrid", "Grid 초기화", true, false, ""},
        {"Btn_SystemReboot", "System Reboot", false, true, "47"},
        {"Btn_FactoryReset", "Factory Reset", false, true, "46"},
        {"Btn_simulator", "TCP Simulator 실행", true, true, ""},
        {"Btn_ViewAdmin", "View Admin", true, true, ""},
        {"Btn_StartSvr", "Start HTTP Server", true, true, ""},
        {"Btn_TestHttpServer", "Connection Test", true, true, ""},
        {"Btn_FW_DL", "Start F/W Download", true, true, "55"},
        {"Btn_FlashSaveInt", "설정 저장", false, true, ""},
        {"Btn_FlashErase", "All Flash Erase", false, true, "58"},
        {"Btn_SockClose", "JSON Test", true, true, "54"},
        {"Btn_DnsTest", "Get DNS Test", true, true, "56"},
        {"Btn_Test2", "Test2", false, true, ""},
        {"Btn_Test3", "Test3", false, true, ""},
    };
    for (const TButtonAtStart& expected : buttons) {
        auto* button = Find<QPushButton>(expected.name);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), QString::fromUtf8(expected.caption)) << expected.name;
        EXPECT_EQ(OwnEnabled(button), expected.enabled) << expected.name;
        EXPECT_EQ(OwnVisible(button), expected.visible) << expected.name;
        EXPECT_EQ(button->property("hint").toString(), QString::fromLatin1(expected.hint)) << expected.name;
    }
    EXPECT_EQ(Find("Btn_CurrentStatus")->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(Find("Btn_CurrentStatus")->palette().color(QPalette::ButtonText), QColor(0, 128, 0));
}

TEST_F(WindowTest, NoControlShowsATooltip)
{
    for (QWidget* widget : form->findChildren<QWidget*>())
        EXPECT_TRUE(widget->toolTip().isEmpty()) << qPrintable(widget->objectName());
}

TEST_F(WindowTest, ButtonsInTitleStripsSitAtTheStripsRightEnd)
{
    EXPECT_LT(Find("Btn_Save_Config_Wan")->x(), Find("Btn_ping")->x());
    for (const char* name : {"Btn_ping", "Btn_Save_Config_Serial", "Btn_Save_Config_Server", "Btn_Search_AP"}) {
        QWidget* button = Find(name);
        EXPECT_LT(button->y(), 20) << name;
        EXPECT_GT(button->geometry().right(), button->parentWidget()->width() - 20) << name;
    }
}

// --- edit boxes, value fields and lists -------------------------------------------------

// How many characters can be typed into a box; a text set by the program may be longer.
int TypingLimit(QLineEdit* edit)
{
    const QVariant limit = edit->property("typingLimit");
    return limit.isValid() ? limit.toInt() : edit->maxLength();
}

TEST_F(WindowTest, EditBoxesStartWithTheirTextsLimitsAndAccessibleNames)
{
    const TEditAtStart edits[] = {
        {"Panel_DevName", "Not Queried", 32767, true, true, "Device Name"},
        {"Panel_Version", "Not Queried", 32767, true, true, "F/W Version"},
        {"PanelMacAddr", "00:00:00:00:00:00", 32767, true, true, "MAC Address"},
        {"Edit_IP1", "0", 3, true, false, "IP Address 1"},
        {"Edit_IP4", "0", 3, true, false, "IP Address 4"},
        {"Edit_GW1", "0", 3, true, false, "GateWay 1"},
        {"Edit_GW4", "0", 3, true, false, "GateWay 4"},
        {"Edit_SM1", "0", 3, true, false, "Subnet Mask 1"},
        {"Edit_SM4", "0", 3, true, false, "Subnet Mask 4"},
        {"Edit_Server_Port", "0", 5, true, false, "Listen Port"},
        {"Edit_SvrIP1", "0", 3, true, false, "Target(Server) IP 1"},
        {"Edit_SvrIP4", "0", 3, true, false, "Target(Server) IP 4"},
        {"Edit_SvrPort_app", "0", 5, true, false, "Target(Server) Port"},
        {"Edit_Current_SSID", "Not Queried", 32, false, false, "SSID"},
        {"Edit_Current_Pw", "Not Queried", 16, false, false, "PASSWORD"},
        {"Edit_Current_RSSI", "0", 32767, false, false, "RSSI"},
        {"Panel_Quality", "100%", 32767, true, true, "Quality Percent"},
        {"Edit_Quality", "", 32767, true, true, "Quality"},
        {"EditViewAdminPW", "1234", 32, true, false, "Admin Password"},
        {"Edit_HttpSvr_Port", "8070", 5, true, false, "HTTP Server Port"},
        {"Edit_HomeDir", "./KavlorFW", 32767, false, false, "Home Dir"},
        {"Edit_DL_IP1", "255", 3, true, false, "Address 1"},
        {"Edit_DL_IP4", "255", 3, true, false, "Address 4"},
        {"Edit_DL_Port", "8070", 5, true, false, "Download Port"},
        {"Edit_DL_File", "0", 32, true, false, "Filename"},
        {"Edit_FlashSaveInt", "0", 5, true, false, "Flash save Interval"},
    };
    for (const TEditAtStart& expected : edits) {
        auto* edit = Find<QLineEdit>(expected.name);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->text(), QString::fromUtf8(expected.text)) << expected.name;
        EXPECT_EQ(TypingLimit(edit), expected.maxLength) << expected.name;
        EXPECT_EQ(OwnEnabled(edit), expected.enabled) << expected.name;
        EXPECT_EQ(edit->isReadOnly(), expected.readOnly) << expected.name;
        EXPECT_EQ(edit->accessibleName(), QString::fromUtf8(expected.accessibleName)) << expected.name;
    }
    for (const char* name : {"Edit_IP2", "Edit_IP3", "Edit_GW2", "Edit_GW3", "Edit_SM2", "Edit_SM3", "Edit_SvrIP2", "Edit_SvrIP3"})
        EXPECT_EQ(TypingLimit(Find<QLineEdit>(name)), 3) << name;
    for (const char* name : {"Edit_DL_Tcp_IP1", "Edit_DL_Tcp_IP2", "Edit_DL_Tcp_IP3", "Edit_DL_Tcp_IP4", "Edit_DL_Tcp_Port"})
        EXPECT_EQ(Find(name)->parentWidget()->objectName(), "Panel_Info_FW_Tcp") << name;
}

TEST_F(WindowTest, AdminPasswordBoxHidesItsTextBehindStars)
{
    auto* box = Find<QLineEdit>("EditViewAdminPW");
    EXPECT_EQ(box->echoMode(), QLineEdit::Password);
    EXPECT_NE(box->text(), "quorbel");
    EXPECT_EQ(box->displayText(), "****");
}

TEST_F(WindowTest, ListsStartWithTheirItemsInOrderAndTheirSelection)
{
    const TComboAtStart combos[] = {
        {"CB_Baudrate", {"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200", "230400", "460800"}, 7, false, "Baudrate"},
        {"CB_Databits", {"5", "6", "7", "8"}, 3, false, "Databits"},
        {"CB_Parity", {"None", "Odd", "Even"}, 0, false, "Parity"},
        {"CB_Stopbits", {"1", "2"}, 0, false, "Stopbits"},
        {"CB_Flow", {"RTS/CTS", "None"}, 1, false, "Flow Control"},
        {"CB_Server_ExpTime", kZeroToSixtyBy5, 0, true, "Expire Time"},
        {"CB_Chk_RSSI_Interval", {"3", "4", "5"}, 0, false, "자동조회 간격"},
        {"Edit_FlashSaveDelay", kZeroToSixtyBy5, 0, true, "Flash save Delay"},
    };
    for (const TComboAtStart& expected : combos) {
        auto* combo = Find<QComboBox>(expected.name);
        ASSERT_NE(combo, nullptr);
        EXPECT_EQ(Items(combo), expected.items) << expected.name;
        EXPECT_EQ(combo->currentIndex(), expected.selected) << expected.name;
        EXPECT_EQ(combo->isEditable(), expected.editable) << expected.name;
        EXPECT_EQ(combo->accessibleName(), QString::fromUtf8(expected.accessibleName)) << expected.name;
    }
    EXPECT_EQ(Find<QComboBox>("CB_Server_ExpTime")->currentText(), "0");
}

TEST_F(WindowTest, CheckBoxesAndTheSignalDisplayStartAsDesigned)
{
    auto* manual = Find<QCheckBox>("CB_Manual_set_AP");
    EXPECT_EQ(manual->text(), QStringLiteral("수동 설정"));
    EXPECT_FALSE(manual->isChecked());
    EXPECT_TRUE(OwnEnabled(manual));
    auto* autoPoll = Find<QCheckBox>("CB_RSSI_AutoChk");
    EXPECT_EQ(autoPoll->text(), QStringLiteral("자동조회"));
    EXPECT_FALSE(autoPoll->isChecked());
    EXPECT_FALSE(OwnEnabled(autoPoll));

    auto* quality = Find<QProgressBar>("PB_SignalQuality");
    EXPECT_EQ(quality->minimum(), 0);
    EXPECT_EQ(quality->maximum(), 100);
    EXPECT_EQ(quality->accessibleName(), "Signal Quality");
    // "Disconnected" must reach the user: the quality box is in the signal panel, beside the
    // percentage, and wide enough for that word.
    QWidget* qualityBox = Find("Edit_Quality");
    QWidget* percent = Find("Panel_Quality");
    EXPECT_EQ(qualityBox->parentWidget()->objectName(), "Panel_Info_CurrentAP_RSSI");
    EXPECT_TRUE(OwnVisible(qualityBox));
    EXPECT_EQ(qualityBox->y(), percent->y());
    EXPECT_GE(qualityBox->x(), percent->geometry().right());
    EXPECT_LE(qualityBox->geometry().right(), qualityBox->parentWidget()->width());
    EXPECT_LE(QFontMetrics(qualityBox->font()).horizontalAdvance("Disconnected") + 8, qualityBox->width());
}

TEST_F(WindowTest, TcpModeRadioGroupOffersServerAndClientWithServerSelected)
{
    auto* group = Find<QGroupBox>("RG_TCP_Mode");
    EXPECT_EQ(group->title(), " [Server/Client Mode] ");
    QStringList captions;
    for (const QRadioButton* button : group->findChildren<QRadioButton*>())
        captions << button->text();
    EXPECT_EQ(captions, (QStringList{"Server", "Client"}));
    EXPECT_EQ(RadioGroupIndex(group), 0);
    EXPECT_EQ(Find<QGroupBox>("GB_Server")->title(), QStringLiteral("[Server Mode 설정]"));
    EXPECT_EQ(Find<QGroupBox>("GB_Client")->title(), QStringLiteral("[Client Mode 설정]"));
    EXPECT_EQ(Find("Edit_Server_Port")->parentWidget()->objectName(), "GB_Server");
    EXPECT_EQ(Find("Edit_SvrPort_app")->parentWidget()->objectName(), "GB_Client");
}

TEST_F(WindowTest, RadioGroupIndexCanBeSetAndCleared)
{
    auto* group = Find<QGroupBox>("RG_TCP_Mode");
    SetRadioGroupIndex(group, 1);
    EXPECT_EQ(RadioGroupIndex(group), 1);
    EXPECT_FALSE(Find<QRadioButton>("RG_TCP_Mode_Server")->isChecked());
    SetRadioGroupIndex(group, -1);
    EXPECT_EQ(RadioGroupIndex(group), -1);
    SetRadioGroupIndex(group, 0);
    EXPECT_EQ(RadioGroupIndex(group), 0);
    // Still one choice after the helpers have been used.
    Find<QRadioButton>("RG_TCP_Mode_Client")->setChecked(true);
    EXPECT_FALSE(Find<QRadioButton>("RG_TCP_Mode_Server")->isChecked());
    EXPECT_EQ(RadioGroupIndex(group), 1);
}

TEST_F(WindowTest, OctetBoxesFollowEachOtherInTabOrder)
{
    // The space key moves to the next tab stop, so an address runs from the first to the
    // fourth box without anything in between.
    auto nextTabStop = [](QWidget* widget) {
        QWidget* next = widget->nextInFocusChain();
        while (!(next->focusPolicy() & Qt::TabFocus))
            next = next->nextInFocusChain();
        return next->objectName();
    };
    for (const char* prefix : {"Edit_IP", "Edit_GW", "Edit_SM", "Edit_SvrIP", "Edit_DL_IP", "Edit_DL_Tcp_IP"})
        for (int octet = 1; octet < 4; ++octet) {
            const QString name = QString::fromLatin1(prefix) + QString::number(octet);
            EXPECT_EQ(nextTabStop(Find(qPrintable(name))), QString::fromLatin1(prefix) + QString::number(octet + 1));
        }
}

TEST_F(WindowTest, TheLogIsTheLastTabStop)
{
    QWidget* lastStop = nullptr;
    for (QWidget* widget = form->nextInFocusChain(); widget != form.get(); widget = widget->nextInFocusChain())
        if (widget->focusPolicy() & Qt::TabFocus)
            lastStop = widget;
    ASSERT_NE(lastStop, nullptr);
    EXPECT_EQ(lastStop->objectName(), "Memo");
}

TEST_F(WindowTest, ValueFieldsAreReadOnlyAndOutOfTheTabOrder)
{
    for (const char* name : {"Panel_DevName", "Panel_Version", "PanelMacAddr", "Panel_Quality"}) {
        auto* field = Find<QLineEdit>(name);
        EXPECT_TRUE(field->isReadOnly()) << name;
        EXPECT_TRUE(field->hasFrame()) << name;
    }
}

// --- accessibility -------------------------------------------------------------------------

TEST_F(WindowTest, LogGridAndSignalControlsHaveAccessibleNames)
{
    EXPECT_EQ(Find("Memo")->accessibleName(), "Log");
    EXPECT_EQ(Find("APList_Grid")->accessibleName(), "Available Access Point List");
    EXPECT_EQ(Find("EditViewAdminPW")->accessibleName(), "Admin Password");
    EXPECT_EQ(Find("Edit_DL_Tcp_IP1")->accessibleName(), "Address 1");
    EXPECT_EQ(Find("Edit_DL_Tcp_Port")->accessibleName(), "Download Port");
}

TEST_F(WindowTest, EveryEntryControlWithoutACaptionHasAnAccessibleName)
{
    for (QWidget* widget : form->findChildren<QWidget*>()) {
        const bool entry = qobject_cast<QLineEdit*>(widget) || qobject_cast<QComboBox*>(widget) ||
                           qobject_cast<QProgressBar*>(widget) || qobject_cast<QTableWidget*>(widget);
        const bool partOfAList = qobject_cast<QComboBox*>(widget->parentWidget()) != nullptr;
        if (entry && !partOfAList) {
            EXPECT_FALSE(widget->accessibleName().isEmpty()) << qPrintable(widget->objectName());
        }
    }
}

// --- grid, timer, fonts --------------------------------------------------------------------

TEST_F(WindowTest, ScanGridIsLaidOutForItsFirstUseWithItsHeaderRow)
{
    auto* grid = Find<QTableWidget>("APList_Grid");
    EXPECT_EQ(grid->columnCount(), 5);
    EXPECT_EQ(grid->rowCount(), 5);
    const QStringList headers = {QStringLiteral("순번"), "SSID", "Channel", "RSSI", "AuthMode"};
    const int widths[] = {60, 250, 80, 60, 200};
    for (int column = 0; column < 5; ++column) {
        ASSERT_NE(grid->item(0, column), nullptr);
        EXPECT_EQ(grid->item(0, column)->text(), headers[column]);
        EXPECT_EQ(grid->columnWidth(column), widths[column]);
    }
    EXPECT_FALSE(grid->horizontalHeader()->isVisibleTo(grid));
    EXPECT_FALSE(OwnEnabled(grid));
}

TEST_F(WindowTest, SignalPollingTimerIsOwnedStoppedAndSetToThreeSeconds)
{
    ASSERT_NE(Find<QTimer>("Timer_AutoQryRSSI"), nullptr);
    EXPECT_EQ(Find<QTimer>("Timer_AutoQryRSSI")->parent(), form.get());
    EXPECT_FALSE(Find<QTimer>("Timer_AutoQryRSSI")->isActive());
    EXPECT_EQ(Find<QTimer>("Timer_AutoQryRSSI")->interval(), 3000);
}

TEST(KoreanFonts, CaptionAndDefaultFacesCarryHangul)
{
    // Without a Hangul face the captions render as boxes, with no warning from Qt.
    const QString hangul = QStringLiteral("기본설정종료현재확인공장초기화신호강도");
    const QStringList installedKorean = QFontDatabase::families(QFontDatabase::Korean);
    for (const QFont& font : {UiFont(19, true), UiFont(21, true), DefaultFont(11)}) {
        bool chainNamesAnInstalledHangulFace = false;
        for (const QString& family : font.families())
            chainNamesAnInstalledHangulFace = chainNamesAnInstalledHangulFace || installedKorean.contains(family);
        EXPECT_TRUE(chainNamesAnInstalledHangulFace) << qPrintable(font.families().join(", "));
        const QRawFont raw = QRawFont::fromFont(font, QFontDatabase::Korean);
        ASSERT_TRUE(raw.isValid()) << qPrintable(font.family());
        for (QChar character : hangul)
            EXPECT_TRUE(raw.supportsCharacter(character)) << qPrintable(raw.familyName()) << " lacks U+"
                                                          << std::hex << int(character.unicode());
    }
}
