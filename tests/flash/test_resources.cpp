// The data resources carried in the program: names, pages and pictures.
#include "flash/NamedResources.h"

#include <QBuffer>
#include <QImageReader>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

TEST(NamedResources, LookedUpWithoutRegardToCase) {
    const auto lower = flash::LoadNamedResource(QStringLiteral("n00_html_pl"));
    ASSERT_TRUE(lower);
    EXPECT_EQ(flash::LoadNamedResource(QStringLiteral("N00_HTML_PL")), lower);
    EXPECT_EQ(flash::LoadNamedResource(QStringLiteral("n00_HTML_Pl")), lower);
    EXPECT_FALSE(flash::LoadNamedResource(QStringLiteral("n00_html_de")));
    EXPECT_FALSE(flash::LoadNamedResource(QStringLiteral("../n00_html_pl")));
    EXPECT_FALSE(flash::LoadNamedResource(QString()));
}

TEST(NamedResources, PicturesAreSmallValidGifs) {
    int pictures = 0;
    for (const QString& name : flash::NamedResourceNames()) {
        if (!name.endsWith(QLatin1String("_gif")))
            continue;
        ++pictures;
        QByteArray bytes = *flash::LoadNamedResource(name);
        QBuffer buffer(&bytes);
        QImageReader reader(&buffer, "gif");
        const QImage image = reader.read();
        ASSERT_FALSE(image.isNull()) << name.toStdString() << ": " << reader.errorString().toStdString();
        EXPECT_LE(image.width(), 64) << name.toStdString();
        EXPECT_LE(image.height(), 64) << name.toStdString();
    }
    EXPECT_EQ(pictures, 84 + 15 + 8);
}

// Every page is a whole UTF-8 document in its language with every template field filled in.
TEST(NamedResources, PagesAreWholeDocumentsInTheirLanguage) {
    static const QRegularExpression page(QStringLiteral("^(n\\d\\d(_101|_405)?|u[1-8])_html_(pl|en|it)$"));
    int pages = 0;
    for (const QString& name : flash::NamedResourceNames()) {
        const auto m = page.match(name);
        if (!m.hasMatch())
            continue;
        ++pages;
        const QByteArray html = *flash::LoadNamedResource(name);
        EXPECT_TRUE(html.startsWith("<!DOCTYPE html>")) << name.toStdString();
        EXPECT_TRUE(html.contains("<html lang=\"" + m.captured(3).toLatin1() + "\">")) << name.toStdString();
        EXPECT_TRUE(html.trimmed().endsWith("</html>")) << name.toStdString();
        EXPECT_FALSE(html.contains("{{") || html.contains("}}")) << name.toStdString();
        EXPECT_TRUE(QString::fromUtf8(html).toUtf8() == html) << name.toStdString() << " is not UTF-8";
    }
    EXPECT_EQ(pages, 3 * (3 + 2 * 10 + 8));
}

} // namespace
