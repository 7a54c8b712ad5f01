// The picture button, the link label, the bound combo box and the About box.
#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QtTest/QTest>

#include "QtTestEnv.h"
#include "settings/ProductData.h"
#include "support/TempFolder.h"
#include "ui/BindableComboBox.h"
#include "ui/DlgAbout.h"
#include "ui/SkinButton.h"
#include "ui/StaticLink.h"

namespace {

using testsupport::TempFolder;

QString WriteImage(const TempFolder& dir, const std::string& name, int w, int h, QColor colour) {
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(colour);
    const QString path = QString::fromStdString(dir / name);
    image.save(path);
    return path;
}

TEST(SkinButton, TakesTheFirstImagesSizeAndDrawsEachState) {
    testsupport::QtApp();
    TempFolder dir;
    const QString normal = WriteImage(dir, "n.png", 40, 30, Qt::red);
    const QString hover = WriteImage(dir, "h.png", 40, 30, Qt::green);
    const QString down = WriteImage(dir, "d.png", 40, 30, Qt::blue);

    QWidget host;
    host.resize(200, 200);
    ui::CSkinButton button(&host);
    button.setGeometry(12, 7, 90, 20);
    button.SetImages(normal, hover, QString(), down);
    EXPECT_EQ(button.geometry(), QRect(12, 7, 40, 30)) << "resized to the first image, top-left kept";
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));

    EXPECT_EQ(button.CurrentImageIndex(), 0);
    EXPECT_EQ(button.grab().toImage().pixelColor(5, 5), QColor(Qt::red));

    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&button, &enter);
    EXPECT_TRUE(button.IsHovered());
    EXPECT_EQ(button.grab().toImage().pixelColor(5, 5), QColor(Qt::green));

    button.setDown(true);
    EXPECT_EQ(button.CurrentImageIndex(), 3);
    EXPECT_EQ(button.grab().toImage().pixelColor(5, 5), QColor(Qt::blue));
    button.setDown(false);

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    EXPECT_FALSE(button.IsHovered());

    button.setEnabled(false);
    EXPECT_EQ(button.grab().toImage().pixelColor(5, 5), QColor(Qt::blue)) << "disabled draws the fourth image";
}

TEST(SkinButton, MissingFirstImageKeepsTheTemplateSizeAndClicksStillCount) {
    testsupport::QtApp();
    TempFolder dir;
    const QString hover = WriteImage(dir, "h.png", 40, 30, Qt::green);
    QWidget host;
    ui::CSkinButton button(&host);
    button.setGeometry(3, 4, 75, 21);
    button.SetImages(QString::fromStdString(dir / "missing.png"), hover, QString(), QString());
    EXPECT_EQ(button.geometry(), QRect(3, 4, 75, 21));
    EXPECT_TRUE(button.Image(0).isNull());
    EXPECT_TRUE(button.Image(3).isNull());

    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    int clicks = 0;
    QObject::connect(&button, &QAbstractButton::clicked, [&] { ++clicks; });
    // Two fast clicks arrive as press, release, double click, release: the double
    // click must count as the second click.
    const QPointF at(5, 5);
    auto send = [&](QEvent::Type type, Qt::MouseButtons held) {
        QMouseEvent e(type, at, button.mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(&button, &e);
    };
    send(QEvent::MouseButtonPress, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, Qt::NoButton);
    send(QEvent::MouseButtonDblClick, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, Qt::NoButton);
    EXPECT_EQ(clicks, 2);
}

TEST(StaticLink, ColoursFollowHoverAndVisitAndFailureNamesTheTarget) {
    testsupport::QtApp();
    ui::CStaticLink link(QStringLiteral("More Information"));
    EXPECT_EQ(link.Target(), "More Information") << "an empty target is the window text";
    link.SetTarget("mk:@MSITStore:/x/Help.chm::/Quorin.htm#option");
    EXPECT_EQ(link.CurrentColor(), ui::CStaticLink::kUnvisited);
    EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor);
    EXPECT_TRUE(link.font().underline());

    std::string opened;
    bool succeed = true;
    link.SetOpener([&](const std::string& t) {
        opened = t;
        return succeed;
    });
    QString failure, caption;
    link.SetFailureBox([&](const QString& text, const QString& cap) {
        failure = text;
        caption = cap;
    });
    link.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&link));

    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(&link, &enter);
    EXPECT_EQ(link.CurrentColor(), link.palette().color(QPalette::Active, QPalette::Highlight));
    EXPECT_EQ(link.palette().color(QPalette::WindowText), link.CurrentColor());

    QTest::mouseClick(&link, Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_EQ(opened, "mk:@MSITStore:/x/Help.chm::/Quorin.htm#option");
    EXPECT_TRUE(link.IsVisited());
    EXPECT_TRUE(failure.isEmpty());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&link, &leave);
    EXPECT_EQ(link.CurrentColor(), ui::CStaticLink::kVisited);

    succeed = false;
    QTest::mouseClick(&link, Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_EQ(failure, QStringLiteral("Unable to open :mk:@MSITStore:/x/Help.chm::/Quorin.htm#option"));
    EXPECT_EQ(caption, QStringLiteral("Error"));
}

TEST(BindableComboBox, ShowsTextsAndGivesBackTheBoundValue) {
    testsupport::QtApp();
    ui::CChoiceComboBox box;
    box.Bind({{"Color", "Colour"}, {"Gray", "Grey"}, {"BW", "Black and white"}});
    ASSERT_EQ(box.count(), 3);
    EXPECT_EQ(box.itemText(2), QStringLiteral("Black and white"));
    box.setCurrentIndex(1);
    ASSERT_TRUE(box.GetSelectedValue().has_value());
    EXPECT_EQ(box.GetSelectedValue()->first, "Gray");
    box.Bind({});
    EXPECT_EQ(box.count(), 0);
    EXPECT_FALSE(box.GetSelectedValue().has_value());
}

TEST(DlgAbout, ShowsNameVersionNoticesAndTheLogoOnlyWhenPresent) {
    testsupport::QtApp();
    settings::SetProgramFolder("");
    {
        ui::DlgAbout about;
        EXPECT_EQ(about.windowTitle(), QStringLiteral("About"));
        EXPECT_EQ(about.NameLabel()->text(), QStringLiteral("Scanner Utility"));
        EXPECT_EQ(about.VersionLabel()->text(), QStringLiteral("Version 0.4.0"));
        EXPECT_FALSE(about.NoticeLabel(0)->text().isEmpty());
        EXPECT_FALSE(about.HasLogo());
        EXPECT_EQ(about.findChild<QLabel*>(QStringLiteral("logo")), nullptr);
    }
    TempFolder dir;
    dir.Write("Str.dat", "[UIString]\nAD_Caption=Info\nAD_Copyright=(c) Us\n");
    QImage logo(30, 20, QImage::Format_RGB32);
    logo.fill(Qt::darkCyan);
    ASSERT_TRUE(logo.save(QString::fromStdString(dir / "logo.bmp"), "BMP"));
    settings::SetProgramFolder(dir.path());
    ui::DlgAbout about;
    settings::SetProgramFolder("");
    EXPECT_EQ(about.windowTitle(), QStringLiteral("Info"));
    EXPECT_EQ(about.NoticeLabel(0)->text(), QStringLiteral("(c) Us"));
    EXPECT_TRUE(about.HasLogo());
    auto* shown = about.findChild<QLabel*>(QStringLiteral("logo"));
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->pixmap().size(), QSize(30, 20)) << "drawn at its own size";
}

} // namespace
