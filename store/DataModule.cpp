#include "DataModule.h"

#include "Errors.h"
#include "Schema.h"

#include <QFile>

#include <sqlcipher/sqlite3.h>

TDM *DM = nullptr;

TDM::TDM()
{
    DbBase.SetPassword(QString::fromLatin1(Schema::CatalogPassword));
    Q1.SetDatabase(&DbBase);
    Q2.SetDatabase(&DbBase);
}

TDM::~TDM()
{
    Q1.Close();
    Q2.Close();
    DbBase.SetConnected(false);
}

void TDM::NameCatalog(const QString &path)
{
    DbBase.SetDatabaseName(path);
}

void TDM::SwitchCatalog(const QString &path)
{
    DbBase.SetConnected(false);
    DbBase.SetDatabaseName(path);
    DbBase.SetConnected(true);
}

qint64 TDM::FileSizeOf(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        throw EFileError(QStringLiteral("无法打开文件“%1”：%2").arg(fileName, file.errorString()));
    return file.size();
}

TCurrency TDM::CompactDb()
{
    m_compactFailure.clear();
    const QString fileName = DbBase.DatabaseName();
    DbBase.SetConnected(false);
    const QString password = DbBase.Password();
    const qint64 oldSize = FileSizeOf(fileName);

    // The engine rebuilds the file through its journal: at every moment the
    // complete catalog, old or compacted, is at its own path, and a failure
    // leaves it as it was.
    try {
        sqlite3 *raw = OpenCatalogHandle(fileName, password, false);
        std::unique_ptr<sqlite3, int (*)(sqlite3 *)> db(raw, sqlite3_close);
        const int rc = sqlite3_exec(raw, "VACUUM", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) {
            m_compactFailure = ExplainEngineError(raw, rc);
            return 0;
        }
    } catch (const EAppError &e) {
        m_compactFailure = e.Message();
        return 0;
    }
    const qint64 newSize = FileSizeOf(fileName);
    if (oldSize <= 0)
        return 0;
    return Currency::FromDouble(double(newSize) / double(oldSize));
}

QString TDM::GetFieldValue(const QString &sql, const QString &fieldName)
{
    OpenQuery(Q1, sql);
    QString value;
    if (Q1.RowCount() > 0)
        value = Q1.Field(fieldName).AsString();
    Q1.Close();
    return value;
}

void TDM::OpenSQL(const QString &sql)
{
    OpenQuery(Q1, sql);
}

void TDM::OpenQuery(TDAOQuery &query, const QString &sql)
{
    query.Close();
    query.SetSQL(sql);
    query.Open();
}

void TDM::ExecuteSQL(const QString &sql)
{
    Q1.Close();
    Q1.SetSQL(sql);
    Q1.Execute();
}

bool TDM::HasRecords(const QString &sql)
{
    OpenQuery(Q1, sql);
    return Q1.RowCount() > 0;
}
