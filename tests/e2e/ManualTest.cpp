// The HTML manual that both programs open: its help-context anchors, the default hot keys, and a
// page that is well-formed and needs nothing outside itself.
#include <QFile>
#include <QMap>
#include <QStringList>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

namespace {

struct TManualPage {
    QString Error;
    QString Text;
    QMap<QString, QString> HeadingOfId; // id -> text of the element that carries it
    QStringList DuplicateIds;
    QStringList Links;            // every href
    QStringList ForeignElements;  // script, link, img, iframe, object, embed
    QStringList SourceAttributes; // every src
};

TManualPage ReadManual() {
    TManualPage page;
    QFile file(QStringLiteral(TAVELIN_SOURCE_DIR) + "/data/Tavelin.html");
    if (!file.open(QIODevice::ReadOnly)) {
        page.Error = "cannot open the manual";
        return page;
    }
    const QByteArray bytes = file.readAll();
    page.Text = QString::fromUtf8(bytes);
    // The page is written as well-formed markup, so an XML reader finds unclosed or misnested tags.
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        const QString name = xml.name().toString();
        const QXmlStreamAttributes attributes = xml.attributes();
        if (attributes.hasAttribute("href")) page.Links << attributes.value("href").toString();
        if (attributes.hasAttribute("src")) page.SourceAttributes << attributes.value("src").toString();
        static const QStringList foreign = {"script", "link", "img", "iframe", "object", "embed"};
        if (foreign.contains(name)) page.ForeignElements << name;
        if (attributes.hasAttribute("id")) {
            const QString id = attributes.value("id").toString();
            if (page.HeadingOfId.contains(id)) page.DuplicateIds << id;
            page.HeadingOfId.insert(id, xml.readElementText(QXmlStreamReader::IncludeChildElements));
        }
    }
    if (xml.hasError()) page.Error = QString("line %1: %2").arg(xml.lineNumber()).arg(xml.errorString());
    return page;
}

TEST(Manual, IsWellFormedWithUniqueAnchorsAndNothingOutsideThePage) {
    const TManualPage page = ReadManual();
    ASSERT_TRUE(page.Error.isEmpty()) << qPrintable(page.Error);
    EXPECT_TRUE(page.DuplicateIds.isEmpty()) << qPrintable(page.DuplicateIds.join(", "));
    EXPECT_TRUE(page.ForeignElements.isEmpty()) << qPrintable(page.ForeignElements.join(", "));
    EXPECT_TRUE(page.SourceAttributes.isEmpty()) << qPrintable(page.SourceAttributes.join(", "));
    EXPECT_FALSE(page.Text.contains("url(")) << "the stylesheet loads a resource";
    for (const QString& link : page.Links) {
        ASSERT_TRUE(link.startsWith('#')) << qPrintable(link);
        EXPECT_TRUE(page.HeadingOfId.contains(link.mid(1))) << "no anchor for " << qPrintable(link);
    }
}

// The programs open the manual at these anchors: the drawing window, the options windows, the
// about boxes and the editor's main window.
TEST(Manual, HelpContextAnchorsSitOnTheirSections) {
    const TManualPage page = ReadManual();
    ASSERT_TRUE(page.Error.isEmpty()) << qPrintable(page.Error);
    const QMap<QString, QString> expected = {
        {"1000", "Annotating the screen"},
        {"300", "The options window"},
        {"2600", "The about box"},
        {"3100", "Framory, the AVI editor"},
    };
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        ASSERT_TRUE(page.HeadingOfId.contains(it.key())) << qPrintable(it.key());
        EXPECT_TRUE(page.HeadingOfId.value(it.key()).contains(it.value()))
            << qPrintable(it.key()) << " is on: " << qPrintable(page.HeadingOfId.value(it.key()));
    }
}

TEST(Manual, NamesTheDefaultHotKeys) {
    const TManualPage page = ReadManual();
    ASSERT_TRUE(page.Error.isEmpty()) << qPrintable(page.Error);
    for (const char* hotKey : {"Shift+Ctrl+W", "Shift+Ctrl+Y", "Shift+Ctrl+P"})
        EXPECT_TRUE(page.Text.contains(hotKey)) << hotKey;
}

// Framory loads its stamps only from what its options dialog stored: the manual must not promise a
// stamp on a fresh profile.
TEST(Manual, SaysFramoryHasNoStampUntilItsOptionsAreConfirmed) {
    const TManualPage page = ReadManual();
    ASSERT_TRUE(page.Error.isEmpty()) << qPrintable(page.Error);
    const qsizetype start = page.Text.indexOf("id=\"fr-options\"");
    ASSERT_GE(start, 0);
    const QString section = page.Text.mid(start, page.Text.indexOf("<h3", start) - start).simplified();
    EXPECT_FALSE(section.contains("out of the box")) << qPrintable(section);
    EXPECT_TRUE(section.contains("on a fresh profile it has none")) << qPrintable(section);
    EXPECT_TRUE(section.contains("submenu is unavailable")) << qPrintable(section);
    EXPECT_TRUE(section.contains("<code>Forbidden.ico</code>")) << qPrintable(section);
}

} // namespace
