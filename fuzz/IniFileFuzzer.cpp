// The settings file: reading every section and key of an arbitrary file, then a write, which must
// read back and leave the file readable.
#include "FuzzSupport.h"
#include "platform/IniFile.h"

#include <QFile>

namespace {

// The section names the file's header lines could give, as a user would guess them.
QStringList HeaderNames(const QByteArray& bytes) {
    QStringList names;
    for (const QByteArray& line : bytes.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (!trimmed.startsWith('[')) continue;
        const qsizetype end = trimmed.indexOf(']');
        names << QString::fromUtf8(trimmed.mid(1, end < 0 ? -1 : end - 1)).trimmed();
        if (names.size() == 8) break;
    }
    return names;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = FuzzBytes(data, size);
    const QString path = WriteFuzzFile(data, size, QStringLiteral("ini"));
    QString section, key;
    {
        TIniFile ini(path);
        for (const QString& name : HeaderNames(bytes)) {
            ini.SectionExists(name);
            const QStringList keys = ini.ReadSection(name);
            const QStringList values = ini.ReadSectionValues(name);
            FUZZ_CHECK(keys.size() == values.size(), name);
            for (const QString& k : keys) {
                FUZZ_CHECK(ini.ValueExists(name, k), name + " / " + k);
                ini.ReadString(name, k, QString());
                ini.ReadInteger(name, k, 7);
                ini.ReadBool(name, k, true);
                if (section.isEmpty()) section = name, key = k;
            }
        }
    }
    if (section.isEmpty()) section = QStringLiteral("Settings"), key = QStringLiteral("Fuzz");

    const QString value = QStringLiteral(" written \"value\" ");
    try {
        TIniFile(path).WriteString(section, key, value);
    } catch (const EIniFileError&) {
        return 0; // a name a line cannot hold is refused, and the file stays as it was
    }
    TIniFile again(path);
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    FUZZ_CHECK(again.ReadString(section, key, QString()) == value,
               section + " / " + key + " in\n" +
                   QString::fromLatin1(file.readAll().toPercentEncoding(" =[]")));
    return 0;
}
