#include "StartUp.h"

#include "CommandGuard.h"
#include "DataModule.h"
#include "Globalvar.h"
#include "GridTexts.h"
#include "MainForm.h"
#include "SettingObjects.h"

#include <QApplication>
#include <QFont>

void InitApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("Vorlix"));
    QCoreApplication::setOrganizationName(QStringLiteral("Zentra-Software"));
    QGuiApplication::setDesktopFileName(QStringLiteral("com.zentra_software.Vorlix"));
    // SimSun where it is installed, else a CJK font that is, at 12 pixels.
    QFont font;
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("宋体"), QStringLiteral("WenQuanYi Micro Hei"),
                      QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans SC")});
    font.setPixelSize(12);
    QApplication::setFont(font);
}

void CreateMainObjects()
{
    GridTexts::GroupPanelText() = QStringLiteral("拖动某个列标题到此处即可按该列分组。");
    DM = new TDM;
    if (!Settings)
        Settings = std::make_unique<TSettings>();
    TSettings::ForceShortDateFormat();
    RunCommand([] { Options = Settings->ReadOptions(); });
    MainFm = new TMainFm;
}

void DestroyMainObjects()
{
    delete MainFm;
    Settings.reset();
    delete DM;
    DM = nullptr;
}
