#include "app/StartUp.h"

#include "app/Globalvar.h"
#include "app/MainForm.h"
#include "app/SettingObjects.h"
#include "store/catalog/DataModule.h"
#include "toolkit/CommandGuard.h"
#include "toolkit/GridTexts.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QTranslator>

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
    LoadQtTexts();
}

void LoadQtTexts()
{
    // Qt's own dialogs, so that their texts come from the translation
    // below rather than from the desktop.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    // The program speaks Chinese whatever the system's language, and so do
    // Qt's buttons, file choosers and edit menus. Without the translation
    // file they stay in English.
    static QTranslator *qtTexts = nullptr;
    if (qtTexts)
        return;
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
        QCoreApplication::installTranslator(translator)) {
        qtTexts = translator;
    } else {
        delete translator;
    }
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
