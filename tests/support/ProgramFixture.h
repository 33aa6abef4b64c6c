#pragma once

// For the tests of whole commands through the real main window; they link
// the program's shell.
#include "app/Globalvar.h"
#include "app/MainForm.h"
#include "app/SettingObjects.h"
#include "app/StartUp.h"
#include "store/catalog/DataModule.h"
#include "store/catalog/Schema.h"
#include "store/engine/Errors.h"
#include "tests/support/CatalogFixture.h"
#include "tests/support/FixtureFailure.h"
#include "toolkit/MessageBoxes.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <initializer_list>

// The program as a user starts it: a program folder (Data, Picture) in a
// temporary folder, its catalog Data/Test.MDB (seeded with the shipped
// categories and grades), a fresh settings file naming that catalog, and the
// real main window started on it. The message boxes are recorded. A
// program that cannot be set up or started stops the test
// (FixtureFailure.h).
class ProgramFixture
{
public:
    explicit ProgramFixture(Schema::Layout layout = Schema::Layout::Build102)
    {
        FIXTURE_REQUIRE(m_dir.isValid(), QStringLiteral("no temporary folder: %1").arg(m_dir.errorString()));
        FIXTURE_REQUIRE(QDir(m_dir.path()).mkpath(QStringLiteral("Data")) &&
                            QDir(m_dir.path()).mkpath(QStringLiteral("Picture")),
                        QStringLiteral("no program folder in %1").arg(m_dir.path()));
        TMainFm::SetAppFolderForTests(m_dir.path());
        Options = TOptions::Defaults();
        m_path = m_dir.filePath(QStringLiteral("Data/Test.MDB"));
        try {
            Schema::CreateCatalog(m_path, layout, true);
        } catch (const EAppError &e) {
            FixtureFailure::Fail(QStringLiteral("the catalog %1 cannot be made: %2").arg(m_path, e.Message()), __FILE__,
                                 __LINE__);
        }
    }
    ~ProgramFixture() { DestroyMainObjects(); }
    ProgramFixture(const ProgramFixture &) = delete;
    ProgramFixture &operator=(const ProgramFixture &) = delete;

    // Writes into the catalog before the window opens.
    void Execute(std::initializer_list<QString> statements) { Run(QStringList(statements)); }
    void Execute(std::initializer_list<const char *> statements)
    {
        QStringList list;
        for (const char *sql : statements)
            list << QString::fromUtf8(sql);
        Run(list);
    }

    // Starts the program on the catalog and shows its main window.
    void Start()
    {
        QFile::remove(TSettings::FileName());
        Settings = std::make_unique<TSettings>();
        Settings->WriteDefaultDb(m_path);
        CreateMainObjects();
        MainFm->FormShow();
        MainFm->show();
        FIXTURE_REQUIRE(QTest::qWaitForWindowExposed(MainFm), QStringLiteral("the main window is not shown"));
    }

    // The catalog, and a file of the program folder ("Picture/a.jpg").
    const QString &Path() const { return m_path; }
    QString FilePath(const QString &name) const { return m_dir.filePath(name); }

    Msg::Recorder Messages;

private:
    void Run(const QStringList &statements)
    {
        QString sql;
        try {
            TDM dm;
            dm.NameCatalog(m_path);
            for (const QString &statement : statements)
                dm.ExecuteSQL(sql = statement);
        } catch (const EAppError &e) {
            FixtureFailure::Fail(QStringLiteral("the catalog cannot take %1: %2").arg(sql, e.Message()), __FILE__,
                                 __LINE__);
        }
    }

    QTemporaryDir m_dir;
    QString m_path;
};
