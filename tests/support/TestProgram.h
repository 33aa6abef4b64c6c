#pragma once

// For the tests of whole commands through the real main window; they link
// the program's shell.
#include "app/Globalvar.h"
#include "app/MainForm.h"
#include "app/SettingObjects.h"
#include "app/StartUp.h"
#include "store/catalog/DataModule.h"
#include "store/catalog/Schema.h"
#include "toolkit/MessageBoxes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <initializer_list>

// The program as a user starts it: a program folder (Data, Picture) in a
// temporary folder, its catalog Data/Test.MDB (seeded with the shipped
// categories and grades), a fresh settings file naming that catalog, and the
// real main window started on it. The message boxes are recorded.
class TestProgram
{
public:
    explicit TestProgram(Schema::Layout layout = Schema::Layout::Build102)
    {
        QVERIFY2(m_dir.isValid(), "no temporary folder");
        QDir(m_dir.path()).mkpath(QStringLiteral("Data"));
        QDir(m_dir.path()).mkpath(QStringLiteral("Picture"));
        TMainFm::SetAppFolderForTests(m_dir.path());
        Options = TOptions::Defaults();
        m_path = m_dir.filePath(QStringLiteral("Data/Test.MDB"));
        Schema::CreateCatalog(m_path, layout, true);
    }
    ~TestProgram() { DestroyMainObjects(); }
    TestProgram(const TestProgram &) = delete;
    TestProgram &operator=(const TestProgram &) = delete;

    // Writes into the catalog before the window opens.
    void Execute(std::initializer_list<QString> statements)
    {
        TDM dm;
        dm.NameCatalog(m_path);
        for (const QString &sql : statements)
            dm.ExecuteSQL(sql);
    }
    void Execute(std::initializer_list<const char *> statements)
    {
        TDM dm;
        dm.NameCatalog(m_path);
        for (const char *sql : statements)
            dm.ExecuteSQL(QString::fromUtf8(sql));
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
        QVERIFY(QTest::qWaitForWindowExposed(MainFm));
    }

    // The catalog, and a file of the program folder ("Picture/a.jpg").
    const QString &Path() const { return m_path; }
    QString FilePath(const QString &name) const { return m_dir.filePath(name); }

    Msg::Recorder Messages;

private:
    QTemporaryDir m_dir;
    QString m_path;
};
