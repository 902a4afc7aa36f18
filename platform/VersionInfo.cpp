#include "VersionInfo.h"

#include "VersionData.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

std::optional<TVersionTable>& ChosenTable() {
    static std::optional<TVersionTable> table;
    return table;
}

} // namespace

const QStringList& VersionKeys() {
    static const QStringList keys = {
        QStringLiteral("CompanyName"),      QStringLiteral("FileDescription"),
        QStringLiteral("FileVersion"),      QStringLiteral("InternalName"),
        QStringLiteral("LegalCopyright"),   QStringLiteral("LegalTrademarks"),
        QStringLiteral("OriginalFilename"), QStringLiteral("ProductName"),
        QStringLiteral("ProductVersion"),   QStringLiteral("Comments"),
        QStringLiteral("Author"),           QStringLiteral("PubDate"),
    };
    return keys;
}

TVersionTable ProgramVersionTable(TProgram program) {
    const bool editor = program == TProgram::Framory;
    const QString name = editor ? QStringLiteral("Framory") : QStringLiteral("Tavelin");
    const QString version = QStringLiteral(TAVELIN_VERSION_TEXT);
    const TVersionTable all = {
        {QStringLiteral("CompanyName"), QStringLiteral(TAVELIN_COMPANY_NAME)},
        {QStringLiteral("FileDescription"),
         editor ? QStringLiteral(FRAMORY_DESCRIPTION_TEXT) : QStringLiteral(TAVELIN_DESCRIPTION_TEXT)},
        {QStringLiteral("FileVersion"), version},
        {QStringLiteral("InternalName"), name},
        {QStringLiteral("LegalCopyright"), QStringLiteral(TAVELIN_COPYRIGHT_TEXT)},
        {QStringLiteral("LegalTrademarks"), QStringLiteral(TAVELIN_TRADEMARKS_TEXT)},
        {QStringLiteral("OriginalFilename"), name},
        {QStringLiteral("ProductName"), name},
        {QStringLiteral("ProductVersion"), version},
        {QStringLiteral("Comments"), QString()},
        {QStringLiteral("Author"), QStringLiteral(TAVELIN_AUTHOR_NAME)},
        {QStringLiteral("PubDate"), QStringLiteral(TAVELIN_PUB_DATE)},
    };
    TVersionTable table;
    for (const TVersionValue& value : all)
        if (!value.Value.isEmpty()) table.push_back(value);
    return table;
}

TVersionTable ApplicationVersionTable() {
    if (ChosenTable()) return *ChosenTable();
    if (!QCoreApplication::instance()) return {};
    const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    if (name.compare(QStringLiteral("Tavelin"), Qt::CaseInsensitive) == 0)
        return ProgramVersionTable(TProgram::Tavelin);
    if (name.compare(QStringLiteral("Framory"), Qt::CaseInsensitive) == 0)
        return ProgramVersionTable(TProgram::Framory);
    return {};
}

void SetApplicationVersionTable(std::optional<TVersionTable> table) {
    ChosenTable() = std::move(table);
}

QString VersionValue(const TVersionTable& table, const QString& key) {
    for (const TVersionValue& value : table)
        if (value.Key.compare(key, Qt::CaseInsensitive) == 0) return value.Value;
    return QString();
}
