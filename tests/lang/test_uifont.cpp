// The panel must draw Chinese and Japanese glyphs, not the empty boxes of a font without them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QImage>
#include <QLabel>

#include "uifont.h"

namespace {

// Renders one text with the font (the application font by default) and returns the picture.
QImage render(const QString& text, QFont font = QApplication::font()) {
    QLabel label;
    font.setPixelSize(48);
    label.setFont(font);
    label.setText(text);
    label.adjustSize();
    QImage image(label.size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    label.render(&image);
    return image;
}

int inkedPixels(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128) ++count;
    return count;
}

class UiFont : public ::testing::Test {
protected:
    void SetUp() override { saved_ = QApplication::font(); }
    void TearDown() override { QApplication::setFont(saved_); }
    QFont saved_;
};

TEST_F(UiFont, FindsACjkFamilyForEveryLanguage) {
    for (int language = 0; language < kLanguageCount; ++language)
        EXPECT_FALSE(lang::cjkFontFamily(language).isEmpty()) << "language " << language;
    // Japanese prefers Japanese glyph forms when they are installed.
    EXPECT_TRUE(lang::cjkFontFamily(3).contains(QStringLiteral("JP")) ||
                !lang::cjkFontFamily(0).startsWith(QStringLiteral("Noto")));
}

TEST_F(UiFont, ChineseAndJapaneseCharactersAreDrawnAsDistinctGlyphs) {
    const QString family = applyUiFont(*qApp, 0);
    ASSERT_FALSE(family.isEmpty());
    EXPECT_EQ(QApplication::font().family(), family);
    // Pairs of characters that a font without CJK glyphs would draw as identical boxes.
    const QStringList characters = {QString::fromUtf8("检"), QString::fromUtf8("模"),
                                    QString::fromUtf8("檢"), QString::fromUtf8("カ"),
                                    QString::fromUtf8("メ"), QString::fromUtf8("の")};
    QList<QImage> images;
    for (const QString& c : characters) {
        images << render(c);
        EXPECT_GT(inkedPixels(images.last()), 50) << c.toStdString();
    }
    for (int i = 0; i < images.size(); ++i)
        for (int j = i + 1; j < images.size(); ++j)
            EXPECT_NE(images[i], images[j])
                << characters[i].toStdString() << " " << characters[j].toStdString();
}

// The measurement itself: a Latin font that may not borrow glyphs draws the same box twice.
TEST_F(UiFont, AFontWithoutCjkGlyphsDrawsIdenticalBoxes) {
    if (!QFontDatabase().families().contains(QStringLiteral("DejaVu Sans")))
        GTEST_SKIP() << "no Latin-only font to compare with";
    QFont latin(QStringLiteral("DejaVu Sans"));
    latin.setStyleStrategy(QFont::NoFontMerging);
    EXPECT_EQ(render(QString::fromUtf8("检"), latin), render(QString::fromUtf8("模"), latin));
}

TEST_F(UiFont, WidgetsAskingForThePanelFamilyByNameGetACjkFamily) {
    const QString family = applyUiFont(*qApp, 3);
    ASSERT_FALSE(family.isEmpty());
    QFont panelFont(QString::fromLatin1(lang::kPanelFamilies[0]), 20);
    const QString resolved = QFontInfo(panelFont).family();
    EXPECT_TRUE(resolved == family ||
                resolved.contains(QStringLiteral("wqy"), Qt::CaseInsensitive) ||
                resolved.contains(QStringLiteral("WenQuanYi"), Qt::CaseInsensitive))
        << resolved.toStdString();
}

}  // namespace
