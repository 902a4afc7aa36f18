// "cmake --install" of this build into a scratch prefix, and the layout it leaves: the programs and
// their data files in one folder, relative links in the command folder, desktop entries that start
// the installed programs, and the menu icons.
#include "support/DesktopEntry.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

namespace {

// Copying two linked programs takes a moment; a hung install must still end the test.
constexpr int InstallTimeoutMs = 180000;

const QString BinaryDir = QStringLiteral(TAVELIN_BINARY_DIR);
const QString SourceDir = QStringLiteral(TAVELIN_SOURCE_DIR);

// A value of this build's cache, such as the cmake that configured it or the library folder.
QString CacheValue(const QString& key) {
    QFile cache(BinaryDir + "/CMakeCache.txt");
    if (!cache.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    QTextStream in(&cache);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (!line.startsWith(key + ":")) continue;
        const int equals = line.indexOf('=');
        if (equals > 0) return line.mid(equals + 1);
    }
    return {};
}

struct TInstallRun {
    int ExitCode = -1;
    QString Output;
};

TInstallRun RunInstall(const QString& prefix, const QString& destDir = {}) {
    QString cmake = CacheValue("CMAKE_COMMAND");
    if (cmake.isEmpty()) cmake = "cmake";
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DESTDIR");
    if (!destDir.isEmpty()) environment.insert("DESTDIR", destDir);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(cmake, {"--install", BinaryDir, "--prefix", prefix});
    TInstallRun run;
    if (!process.waitForFinished(InstallTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        run.Output = "cmake --install did not finish: " + process.errorString();
        return run;
    }
    run.Output = QString::fromLocal8Bit(process.readAll());
    if (process.exitStatus() == QProcess::NormalExit) run.ExitCode = process.exitCode();
    return run;
}

QString LibraryDir() {
    const QString dir = CacheValue("CMAKE_INSTALL_LIBDIR");
    return dir.isEmpty() ? QStringLiteral("lib") : dir;
}

QByteArray Digest(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

struct TProgramEntry {
    const char* Program;
    const char* EntryFile;
    const char* Icon;
    QStringList ArgumentsAfterProgram;
    QStringList MimeTypes;
};

const TProgramEntry ProgramEntries[] = {
    {"Tavelin", "tavelin.desktop", "tavelin", {}, {}},
    {"Framory", "framory.desktop", "framory", {"%f"}, {"video/x-msvideo", "video/avi"}},
};

class InstallTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Root = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/tavelin-install-XXXXXX");
        // A blank in the prefix is the common case that breaks an unquoted Exec line.
        Prefix = Root->path() + "/install prefix";
        Run = RunInstall(Prefix);
    }
    static void TearDownTestSuite() { Root.reset(); }

    void SetUp() override { ASSERT_EQ(Run.ExitCode, 0) << qPrintable(Run.Output); }

    static QString ProgramDir() { return Prefix + "/" + LibraryDir() + "/tavelin"; }

    static inline std::unique_ptr<QTemporaryDir> Root;
    static inline QString Prefix;
    static inline TInstallRun Run;
};

TEST_F(InstallTest, ProgramsAndEveryDataFileShareOneFolder) {
    for (const char* program : {"Tavelin", "Framory"}) {
        const QFileInfo installed(ProgramDir() + "/" + program);
        EXPECT_TRUE(installed.isFile() && !installed.isSymLink()) << program;
        EXPECT_TRUE(installed.isExecutable()) << program;
    }
    const QFileInfoList dataFiles = QDir(SourceDir + "/data").entryInfoList(QDir::Files);
    QStringList names;
    for (const QFileInfo& source : dataFiles) {
        names << source.fileName();
        const QString installed = ProgramDir() + "/" + source.fileName();
        ASSERT_TRUE(QFileInfo(installed).isFile()) << qPrintable(installed);
        EXPECT_EQ(Digest(installed), Digest(source.filePath())) << qPrintable(source.fileName());
    }
    for (const char* expected : {"Tavelin.html", "QzArrowLT.cur", "QzArrowRT.cur", "Forbidden.ico"})
        EXPECT_TRUE(names.contains(expected)) << expected;
}

TEST_F(InstallTest, CommandLinksAreRelativeAndReachThePrograms) {
    for (const char* program : {"Tavelin", "Framory"}) {
        const QString link = Prefix + "/bin/" + program;
        ASSERT_TRUE(QFileInfo(link).isSymLink()) << program;
        const std::filesystem::path target = std::filesystem::read_symlink(link.toStdString());
        EXPECT_TRUE(target.is_relative()) << target;
        EXPECT_EQ(QFileInfo(link).canonicalFilePath(),
                  QFileInfo(ProgramDir() + "/" + program).canonicalFilePath());
    }
}

TEST_F(InstallTest, DesktopEntriesStartTheInstalledPrograms) {
    for (const TProgramEntry& expected : ProgramEntries) {
        SCOPED_TRACE(expected.EntryFile);
        const auto entry = ReadDesktopEntry(Prefix + "/share/applications/" + expected.EntryFile);
        ASSERT_FALSE(entry.isEmpty());
        EXPECT_EQ(entry.value("Type"), "Application");
        EXPECT_EQ(entry.value("Name"), expected.Program);
        EXPECT_FALSE(entry.value("Comment").isEmpty());
        EXPECT_EQ(entry.value("Icon"), expected.Icon);
        EXPECT_EQ(entry.value("Terminal"), "false");
        EXPECT_TRUE(entry.value("Categories").endsWith(';')) << qPrintable(entry.value("Categories"));
        // Menus file an entry under each of its main categories: more than one shows it twice. Audio
        // and Video go with AudioVideo, and name no menu of their own beside it.
        static const QStringList mainCategories = {
            "AudioVideo", "Audio",  "Video",   "Development", "Education", "Game",   "Graphics",
            "Network",    "Office", "Science", "Settings",    "System",    "Utility"};
        const QStringList categories = entry.value("Categories").split(';', Qt::SkipEmptyParts);
        const bool audioVideo = categories.contains("AudioVideo");
        const auto menus = std::count_if(categories.begin(), categories.end(), [&](const QString& c) {
            return mainCategories.contains(c) && !(audioVideo && (c == "Audio" || c == "Video"));
        });
        EXPECT_EQ(menus, 1) << qPrintable(entry.value("Categories"));

        const QStringList arguments = ExecArguments(entry.value("Exec"));
        ASSERT_FALSE(arguments.isEmpty());
        EXPECT_EQ(arguments.first(), Prefix + "/bin/" + expected.Program);
        EXPECT_EQ(arguments.mid(1), expected.ArgumentsAfterProgram);
        EXPECT_EQ(QFileInfo(arguments.first()).canonicalFilePath(),
                  QFileInfo(ProgramDir() + "/" + expected.Program).canonicalFilePath());

        const QStringList mimeTypes = entry.value("MimeType").split(';', Qt::SkipEmptyParts);
        for (const QString& type : expected.MimeTypes)
            EXPECT_TRUE(mimeTypes.contains(type)) << qPrintable(type);
    }
}

TEST_F(InstallTest, MenuIconsAre128PixelPictures) {
    QImage icons[2];
    for (int i = 0; i < 2; ++i) {
        const QString path = Prefix + "/share/icons/hicolor/128x128/apps/" + ProgramEntries[i].Icon + ".png";
        ASSERT_TRUE(icons[i].load(path, "PNG")) << qPrintable(path);
        EXPECT_EQ(icons[i].size(), QSize(128, 128));
        int opaque = 0;
        int clear = 0;
        const QImage pixels = icons[i].convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < pixels.height(); ++y)
            for (int x = 0; x < pixels.width(); ++x) {
                const int alpha = qAlpha(pixels.pixel(x, y));
                opaque += alpha == 255;
                clear += alpha == 0;
            }
        // A picture on a transparent ground, not an empty or a square block.
        EXPECT_GT(opaque, 128 * 128 / 4) << ProgramEntries[i].Icon;
        EXPECT_GT(clear, 128 * 4) << ProgramEntries[i].Icon;
    }
    EXPECT_NE(icons[0], icons[1]);
}

// A packager stages the tree under DESTDIR: the links must stay inside the stage and the entries
// must name the final prefix. A second install over the first replaces the links.
TEST(StagedInstall, EntriesNameThePrefixAndLinksStayInTheStage) {
    QTemporaryDir root(QDir::tempPath() + "/tavelin-stage-XXXXXX");
    const QString stage = root.path() + "/stage";
    const QString prefix = "/opt/" + QFileInfo(root.path()).fileName();
    for (int pass = 1; pass <= 2; ++pass) {
        const TInstallRun run = RunInstall(prefix, stage);
        ASSERT_EQ(run.ExitCode, 0) << "pass " << pass << ": " << qPrintable(run.Output);
    }
    EXPECT_FALSE(QFileInfo::exists(prefix)) << "the install wrote outside the stage";

    const QString stagedPrefix = stage + prefix;
    for (const TProgramEntry& expected : ProgramEntries) {
        SCOPED_TRACE(expected.Program);
        const QString link = stagedPrefix + "/bin/" + expected.Program;
        ASSERT_TRUE(QFileInfo(link).isSymLink());
        EXPECT_EQ(QFileInfo(link).canonicalFilePath(),
                  QFileInfo(stagedPrefix + "/" + LibraryDir() + "/tavelin/" + expected.Program)
                      .canonicalFilePath());
        const auto entry = ReadDesktopEntry(stagedPrefix + "/share/applications/" + expected.EntryFile);
        const QStringList arguments = ExecArguments(entry.value("Exec"));
        ASSERT_FALSE(arguments.isEmpty());
        EXPECT_EQ(arguments.first(), prefix + "/bin/" + expected.Program);
    }
}

} // namespace
